#include <gtest/gtest.h>

#include <QFile>
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

TEST(CardCommands, ExactTexts) {
  const struct {
    QString command;
    const char* text;
  } cases[] = {{statusCommand(), "Card,Info,Status"},
               {readCommand(30, 14), "Card,MemRead,30,14"},
               {writeCommand(28, 2), "Card,MemWrite,28,2"}};
  for (const auto& c : cases) EXPECT_EQ(c.command, QString::fromLatin1(c.text));
}

// The reader as the library reports it, and its card's bytes: 0xFF comes back as U+00FF, and
// a failed call is a result (the prefilled buffer comes back), never a crash.
TEST_F(CardReaderTest, StatusAndBytesThroughTheLibrary) {
  LibraryCardReader reader(QStringLiteral(SCARD_LIBRARY));
  ASSERT_TRUE(reader.loaded());
  EXPECT_EQ(cardStatus(reader), kStatusWait);
  EXPECT_NE(cardWrite(reader, 1, "quorva"), 0);  // no card
  EXPECT_EQ(cardRead(reader, 1, 6), "      ");
  const QString erased(6, QChar(0xFF));
  const struct {
    const char *action, *status;
    int address;
    QString write, read;  // write "": only read
    bool written;
  } steps[] = {
      {"blank", kStatusActive, 1, "", erased, false},
      {nullptr, kStatusActive, 1, "quorva", "quorva", true},
      {nullptr, kStatusActive, 28, "0", QStringLiteral("0") + QChar(0xFF), true},
      {"protect", kStatusActive, 1, erased, "quorva", false},
      {"unprotect", kStatusActive, 250, "quorvalis", "", false},  // past the end of the card
      {"unreadable", kStatusInvalid, 1, "", "", false},
      {"remove", kStatusWait, 1, "quorva", "", false},
      {"reader-fail", kStatusError, 1, "quorva", "", false},
      {"reader-ok", kStatusWait, 1, "", "", false},
  };
  for (const auto& s : steps) {
    if (s.action) cardsim({QString::fromLatin1(s.action)});
    EXPECT_EQ(cardStatus(reader), QString::fromLatin1(s.status)) << s.action;
    const int length = static_cast<int>(s.read.isEmpty() ? s.write.size() : s.read.size());
    EXPECT_TRUE(s.write.isEmpty() || (cardWrite(reader, s.address, s.write) == 0) == s.written) << s.action;
    EXPECT_EQ(s.read.isEmpty() ? "" : cardRead(reader, s.address, length), s.read) << s.action;
  }
  EXPECT_NE(reader.command("Card,Format", {}, 0).result, 0);
  cardsim({"club", "00491711234567"});
  EXPECT_EQ(cardRead(reader, 1, 6) + cardRead(reader, 28, 2) + cardRead(reader, 30, 14), "quorva1400491711234567");
  const QString number = cardRead(reader, 10, 6) + cardRead(reader, 20, 6);
  EXPECT_EQ(number.size(), 12);
  for (QChar c : number) EXPECT_TRUE(c.isDigit() || (c >= u'A' && c <= u'Z')) << number.toStdString();
}

TEST_F(CardReaderTest, MissingLibraryIsLookedForAgainOnceAMinute) {
  const QString installed = dir_.filePath("libSCard32.so");
  qint64 now = 0;
  LibraryCardReader reader(installed, [&] { return now; });
  EXPECT_FALSE(reader.loaded());
  const CardResult missing = reader.command(statusCommand(), {}, 7);  // fails quietly
  EXPECT_FALSE(missing.called);
  EXPECT_NE(missing.result, 0);
  EXPECT_NE(cardWrite(reader, 1, "quorva"), 0);
  ASSERT_TRUE(QFile::copy(QStringLiteral(SCARD_LIBRARY), installed));  // plugged in later
  const struct {
    qint64 at;
    bool called;
  } steps[] = {{1000, false}, {59999, false}, {60000, true}, {60001, true}};
  for (const auto& s : steps) {
    now = s.at;
    const CardResult status = reader.command(statusCommand(), {}, 7);
    EXPECT_EQ(status.called, s.called) << s.at;
    EXPECT_EQ(status.dataOut, s.called ? kStatusWait : "       ") << s.at;
  }
}

// The driver in its helper process: the card's bytes come back whole, and a driver that crashes
// or hangs is a missing reader until the helper is started again, at most once a minute.
TEST_F(CardReaderTest, HelperHostsTheDriverAndOutlivesItsFaults) {
  qint64 now = 0;
  HelperCardReader reader(QStringLiteral(CARD_HELPER), QStringLiteral(CARD_DRIVER), [&] { return now; }, 1000);
  const QString erased(6, QChar(0xFF));
  const struct {
    qint64 at;
    const char* action;  // cardsim arguments, or nullptr
    const char* status;  // nullptr: the reader counts as missing
    QString write, read;  // at address 1; write "": only read
  } steps[] = {
      {0, nullptr, kStatusWait, "", "      "},  // no card: the prefilled blanks come back
      {10, "blank", kStatusActive, "", erased},
      {20, nullptr, kStatusActive, "quorva", "quorva"},  // issued and read back
      {30, "protect", kStatusActive, "xxxxxx", "quorva"},
      {40, "crash", nullptr, "", ""},
      {50, "heal", nullptr, "", ""},  // the helper is not started again within the minute
      {40 + 59999, nullptr, nullptr, "", ""},
      {40 + 60000, nullptr, kStatusActive, "", "quorva"},
      {60100, "hang", nullptr, "", ""},  // the call's time limit
      {60200, "heal", nullptr, "", ""},
      {60100 + 60000, nullptr, kStatusActive, "", "quorva"},
  };
  for (const auto& s : steps) {
    now = s.at;
    if (s.action) cardsim(QString::fromLatin1(s.action).split(u' '));
    const CardResult status = reader.command(statusCommand(), {}, 7);
    EXPECT_EQ(status.called, s.status != nullptr) << s.at;
    EXPECT_EQ(reader.running(), s.status != nullptr) << s.at;
    if (!s.status) continue;
    EXPECT_EQ(status.dataOut, QString::fromLatin1(s.status)) << s.at;
    if (!s.write.isEmpty()) {
      EXPECT_EQ(cardWrite(reader, 1, s.write) == 0, s.write == "quorva") << s.at;
    }
    EXPECT_EQ(cardRead(reader, 1, 6), s.read) << s.at;
  }
  cardsim({"club", "00491711234567"});
  EXPECT_EQ(cardRead(reader, 28, 16), "1400491711234567");
  // A helper that cannot load the driver: missing, and quietly so.
  HelperCardReader without(QStringLiteral(CARD_HELPER), dir_.filePath("none"), [&] { return now; }, 1000);
  EXPECT_FALSE(without.command(statusCommand(), {}, 7).called);
  EXPECT_FALSE(without.running());
}

}  // namespace
}  // namespace quorvalis
