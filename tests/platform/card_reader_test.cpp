#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "cardsim_control.h"
#include "platform/card_helper.h"
#include "platform/card_reader.h"

namespace quorvalis {
namespace {

// The reader library stand-in, loaded by path, over a card file of this test's own.
class CardReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  void cardsim(const QStringList& args) { testing::cardsim(args); }

  QTemporaryDir dir_;
  testing::CardsimFile card_{dir_.filePath("card")};
};

// The reader as the driver reports it and its card's bytes, in process and through the helper:
// 0xFF comes back as U+00FF and a failed call is a result (the prefilled buffer comes back). In
// the helper, a driver that crashes or hangs is a missing reader until the helper is started
// again, at most once a minute; a library installed later is found the same way.
TEST_F(CardReaderTest, DriverInProcessAndInItsHelper) {
  const QString erased(6, QChar(0xFF));
  const struct {
    qint64 at;
    const char* action;  // cardsim arguments, or nullptr
    const char* status;  // nullptr: the reader counts as missing
    int address;
    QString write, read;  // write "": only read
    bool written;
  } steps[] = {
      {0, nullptr, kStatusWait, 1, "quorva", "      ", false},  // no card
      {10, "blank", kStatusActive, 1, "", erased, false},
      {20, nullptr, kStatusActive, 1, "quorva", "quorva", true},
      {30, nullptr, kStatusActive, 28, "0", QStringLiteral("0") + QChar(0xFF), true},
      {40, "protect", kStatusActive, 1, erased, "quorva", false},
      {50, "unprotect", kStatusActive, 250, "quorvalis", "", false},  // past the end of the card
      {60, "unreadable", kStatusInvalid, 1, "", "", false}, {70, "remove", kStatusWait, 1, "quorva", "", false},
      {80, "reader-fail", kStatusError, 1, "quorva", "", false},
      {90, "reader-ok", kStatusWait, 1, "", "", false},
      {95, "club 00491711234567", kStatusActive, 28, "", "1400491711234567", false},
      {96, "chatty", kStatusActive, 1, "", "quorva", false},  // the driver's prints go nowhere
      {97, "heal", kStatusActive, 1, "", "quorva", false},
      // Only the helper survives these.
      {100, "crash", nullptr, 1, "", "", false},
      {110, "heal", nullptr, 1, "", "", false},  // not started again within the minute
      {100 + 59999, nullptr, nullptr, 1, "", "", false},
      {100 + 60000, nullptr, kStatusActive, 1, "", "quorva", false},
      {60200, "hang", nullptr, 1, "", "", false},  // the call's time limit
      {60300, "heal", nullptr, 1, "", "", false},
      {60200 + 60000, nullptr, kStatusActive, 1, "", "quorva", false},
  };
  qint64 now = 0;
  LibraryCardReader library(QStringLiteral(SCARD_LIBRARY));
  HelperCardReader helper(QStringLiteral(CARD_HELPER), QStringLiteral(CARD_DRIVER), [&] { return now; }, 1000);
  for (CardReader* reader : std::initializer_list<CardReader*>{&library, &helper}) {
    cardsim({"remove"});
    cardsim({"reader-ok"});
    for (const auto& s : steps) {
      if (reader == &library && s.at >= 100) break;
      SCOPED_TRACE(QStringLiteral("%1 at %2").arg(reader == &library ? "in process" : "helper").arg(s.at).toStdString());
      now = s.at;
      if (s.action) cardsim(QString::fromLatin1(s.action).split(u' '));
      const CardResult status = reader->command(statusCommand(), {}, 7);
      EXPECT_EQ(status.called, s.status != nullptr);
      if (!s.status) continue;
      EXPECT_EQ(status.dataOut, QString::fromLatin1(s.status));
      const int length = static_cast<int>(s.read.isEmpty() ? s.write.size() : s.read.size());
      EXPECT_TRUE(s.write.isEmpty() || (cardWrite(*reader, s.address, s.write) == 0) == s.written);
      EXPECT_EQ(s.read.isEmpty() ? "" : cardRead(*reader, s.address, length), s.read);
    }
  }
  EXPECT_NE(library.command("Card,Format", {}, 0).result, 0);
  // A library installed later is found in process too, at the first attempt a minute after the
  // last, never at every poll.
  const QString later = dir_.filePath("installed-later.so");
  LibraryCardReader installedLater(later, [&] { return now; });
  const struct { qint64 at; bool install, called; } retries[] = {
      {200000, false, false}, {200010, true, false}, {200000 + 59999, false, false}, {200000 + 60000, false, true}};
  for (const auto& r : retries) {
    now = r.at;
    if (r.install) {
      ASSERT_TRUE(QFile::copy(QStringLiteral(SCARD_LIBRARY), later));
    }
    EXPECT_EQ(installedLater.command(statusCommand(), {}, 7).called, r.called) << r.at;
  }
  // A helper that cannot load the driver: missing, and quietly so.
  HelperCardReader without(QStringLiteral(CARD_HELPER), dir_.filePath("none"), [&] { return now; }, 1000);
  EXPECT_FALSE(without.command(statusCommand(), {}, 7).called || without.running());
}

// The helper ends with the terminal that started it, even while the driver hangs in a call: a
// hung driver must not keep the reader and the helper's file busy for the next update.
TEST_F(CardReaderTest, HelperEndsWithItsTerminalEvenInsideAHungCall) {
  QProcess terminal, helper;  // the terminal's stand-in: another helper, waiting for calls until it is ended
  terminal.start(QStringLiteral(CARD_HELPER), {QStringLiteral(CARD_DRIVER)});
  ASSERT_TRUE(terminal.waitForReadyRead(10000));
  cardsim({"hang"});
  helper.start(QStringLiteral(CARD_HELPER), {QStringLiteral(CARD_DRIVER), QString::number(terminal.processId())});
  ASSERT_TRUE(helper.waitForReadyRead(10000));
  const QByteArray status = statusCommand().toLatin1();
  const auto number = [](quint32 n) { return QByteArray(reinterpret_cast<const char*>(&n), 4); };
  helper.write(number(static_cast<quint32>(status.size())) + status + number(0) + number(7));
  ASSERT_TRUE(helper.waitForBytesWritten(5000));
  EXPECT_FALSE(helper.waitForReadyRead(300));  // inside the hung call
  terminal.kill();
  ASSERT_TRUE(terminal.waitForFinished(5000));  // gone, not a zombie its parent still holds
  EXPECT_TRUE(helper.waitForFinished(5000));
  cardsim({"heal"});
}

}  // namespace
}  // namespace quorvalis
