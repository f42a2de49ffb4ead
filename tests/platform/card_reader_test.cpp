#include <gtest/gtest.h>

#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#include <tlhelp32.h>
#endif
#include <QTest>
#include <limits>

#include "cardsim_control.h"
#include "platform/card_helper.h"
#include "platform/card_reader.h"
#include "platform/pcsc_reader.h"
#include "program_folder_test.h"
#include "virtual_reader.h"

namespace quorvalis::testing {

// The reader as the driver reports it, its card's bytes and its results (0 written, 1 no card,
// 3 past the end, 4 write-protected, 5 reader not ready): 0xFF comes back as U+00FF and a failed
// call is a result (the prefilled buffer comes back). In the helper, a driver that crashes or
// hangs is a missing reader until the helper is started again, at most once a minute.
// action: cardsim's arguments or nullptr; status nullptr: the reader counts as missing; write "": only read.
const struct Step { qint64 at; const char *action, *status; int address; QString write, read; int wrote; } kSteps[] = {
    {0, nullptr, kStatusWait, 1, "quorva", "      ", 1},  // no card
    {10, "blank", kStatusActive, 1, "", QString(6, QChar(0xFF)), 0},
    {20, nullptr, kStatusActive, 1, "quorva", "quorva", 0},
    {30, nullptr, kStatusActive, 28, "0", QStringLiteral("0") + QChar(0xFF), 0},
    {40, "protect", kStatusActive, 1, QString(6, QChar(0xFF)), "quorva", 4},
    {50, "unprotect", kStatusActive, 250, "quorvalis", "", 3},  // past the end of the card
    {60, "unreadable", kStatusInvalid, 1, "", "", 0}, {70, "remove", kStatusWait, 1, "quorva", "", 1},
    {80, "reader-fail", kStatusError, 1, "quorva", "", 5},
    {90, "reader-ok", kStatusWait, 1, "", "", 0},
    {95, "club 00491711234567", kStatusActive, 28, "", "1400491711234567", 0},
    {96, "chatty", kStatusActive, 1, "", "quorva", 0},  // the driver's prints go nowhere
    {97, "heal", kStatusActive, 1, "", "quorva", 0},
    // Only the helper survives these.
    {100, "crash", nullptr, 1, "", "", 0},
    {110, "heal", nullptr, 1, "", "", 0},  // not started again within the minute
    {100 + 59999, nullptr, nullptr, 1, "", "", 0},
    {100 + 60000, nullptr, kStatusActive, 1, "", "quorva", 0},
    {60200, "hang", nullptr, 1, "", "", 0},  // the call's time limit
    {60300, "heal", nullptr, 1, "", "", 0},
    {60200 + 60000, nullptr, kStatusActive, 1, "", "quorva", 0},
};

// The reader library stand-in, loaded by path, over a card file of this test's own.
class CardReaderTest : public ProgramFolderTest {
 protected:
  // The steps up to until. The PC/SC service notices a card in its own time: its status is
  // awaited. Its virtual reader is always ready; the service's own failure is the club journey's.
  void drive(CardReader& reader, const char* name, qint64 until, qint64* now, bool pcsc) {
    cardsim({"remove"});
    cardsim({"reader-ok"});
    for (const Step& s : kSteps) {
      if (s.at >= until) break;
      if (pcsc && s.action && QByteArray(s.action).startsWith("reader-")) continue;
      SCOPED_TRACE(QStringLiteral("%1 at %2").arg(name).arg(s.at).toStdString());
      if (now) *now = s.at;
      if (s.action) cardsim(QString::fromLatin1(s.action).split(u' '));
      CardResult status = reader.command(statusCommand(), {}, 7);
      const auto noticed = [&] { return (status = reader.command(statusCommand(), {}, 7)).dataOut == s.status; };
      if (pcsc && s.status) (void)QTest::qWaitFor(noticed, 20000);
      EXPECT_EQ(status.called, s.status != nullptr);
      if (!s.status) continue;
      EXPECT_EQ(status.dataOut, QString::fromLatin1(s.status));
      const int length = static_cast<int>(s.read.isEmpty() ? s.write.size() : s.read.size());
      EXPECT_EQ(s.write.isEmpty() ? 0 : cardWrite(reader, s.address, s.write), s.wrote);
      EXPECT_EQ(s.read.isEmpty() ? "" : cardRead(reader, s.address, length), s.read);
    }
  }

  CardsimFile card_{path("card")};
};

// In process and through the helper; a library installed later is found the same way.
TEST_F(CardReaderTest, DriverInProcessAndInItsHelper) {
  qint64 now = 0;
  LibraryCardReader library(QStringLiteral(SCARD_LIBRARY));
  HelperCardReader helper(QStringLiteral(CARD_HELPER), QStringLiteral(CARD_DRIVER), [&] { return now; }, 1000);
  drive(library, "in process", 100, nullptr, false);
  drive(helper, "helper", std::numeric_limits<qint64>::max(), &now, false);
  EXPECT_NE(library.command("Card,Format", {}, 0).result, 0);
  // A library installed later is found in process too, at the first attempt a minute after the
  // last, never at every poll.
  const QString later = path("installed-later.so");
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
  HelperCardReader without(QStringLiteral(CARD_HELPER), path("none"), [&] { return now; }, 1000);
  EXPECT_FALSE(without.command(statusCommand(), {}, 7).called || without.running());
}

#ifdef QUORVALIS_PCSC
// The same steps through the PC/SC service, its virtual reader taking four bytes at a time and
// refusing every command to a card until its card-type selection came; then readers chosen by
// name, selections given wrong, and the service restarted.
TEST_F(CardReaderTest, PcscServiceAnswersAsTheDriver) {
  const QString select = "FF A4 00 00 01 06";
  VirtualReader service(path("card"), {"--chunk", "4", "--select", select});
  ASSERT_TRUE(service.startService()) << service.log().toStdString();
  PcscCardReader pcsc({{}, select});
  drive(pcsc, "PC/SC", 100, nullptr, true);  // ends with a club card in the first slot
  EXPECT_EQ(pcsc.command("Card,Format", {}, 0).result, card_result::kUnknownCommand);
  const struct { QString reader, select; const char* status; QString read; } rows[] = {
      {VirtualReader::kFirstSlot, select, kStatusActive, "quorva"},
      {VirtualReader::kSecondSlot, select, kStatusWait, "      "},
      {"Virtual PCD", select, kStatusActive, "quorva"},
      {"Another reader", select, kStatusError, "      "},
      {"", "FF A4 0", kStatusError, "      "}, {"", "FF A4 00 00 01 0G", kStatusError, "      "},
  };
  for (const auto& r : rows) {
    PcscCardReader named({r.reader, r.select});
    const QString status = cardStatus(named);
    EXPECT_EQ(status + cardRead(named, 1, 6), r.status + r.read) << (r.reader + " / " + r.select).toStdString();
  }
  // The service stopped under the card and started again: no reader until the retry a minute
  // later, then the card still in it read afresh.
  qint64 now = 0;
  PcscCardReader retrying({{}, select}, [&] { return now; });
  EXPECT_EQ(cardStatus(retrying), kStatusActive);
  service.stopService();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !retrying.command(statusCommand(), {}, 7).called; }, 20000));
  ASSERT_TRUE(service.startService()) << service.log().toStdString();
  now = PcscCardReader::kRetryMs - 1;
  EXPECT_FALSE(retrying.command(statusCommand(), {}, 7).called);
  now = PcscCardReader::kRetryMs;
  EXPECT_TRUE(QTest::qWaitFor([&] { return cardStatus(retrying) == kStatusActive; }, 20000));
  EXPECT_EQ(cardRead(retrying, 1, 6), "quorva");
}

#endif

// A reader that counts its calls and answers with its own result.
class CountingReader : public CardReader {
 public:
  explicit CountingReader(int result) : result_(result) {}
  CardResult command(const QString&, const QString&, int outLen) override {
    ++calls;
    return {result_, QString(outLen, u' '), true};
  }
  int calls = 0;

 private:
  int result_;
};

// The maker's library in the program folder decides at each call: installed later, the driver
// takes over at the next call; removed, the service; never the service for a driver that failed.
TEST_F(CardReaderTest, DriverWhileItsLibraryIsThereElseTheService) {
  const QString library = path("SCard32.DLL");
  auto driver = std::make_unique<CountingReader>(1), service = std::make_unique<CountingReader>(2);
  CountingReader *d = driver.get(), *s = service.get();
  DriverOrServiceReader reader(library, std::move(driver), std::move(service));
  const struct { const char* step; int result, driverCalls, serviceCalls; } rows[] = {
      {"none", 2, 0, 1}, {"install", 1, 1, 1}, {"keep", 1, 2, 1}, {"remove", 2, 2, 2},
  };
  for (const auto& r : rows) {
    if (QByteArray(r.step) == "install") {
      QFile f(library);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    if (QByteArray(r.step) == "remove") {
      ASSERT_TRUE(QFile::remove(library));
    }
    EXPECT_EQ(reader.command(statusCommand(), {}, 7).result, r.result) << r.step;
    EXPECT_EQ(d->calls, r.driverCalls) << r.step;
    EXPECT_EQ(s->calls, r.serviceCalls) << r.step;
  }
}

#ifdef Q_OS_WIN
// Windows without a smart-card service (no reader plugged in, or Wine, whose winscard.dll answers
// nothing): the reader is missing, quietly, and the service is asked again once a minute.
TEST(WindowsPcsc, WithoutTheServiceTheReaderIsMissing) {
  qint64 now = 0;
  PcscCardReader pcsc({}, [&] { return now; });
  const struct { qint64 at; } rows[] = {{0}, {1000}, {PcscCardReader::kRetryMs - 1}, {PcscCardReader::kRetryMs}};
  for (const auto& r : rows) {
    now = r.at;
    const CardResult status = pcsc.command(statusCommand(), {}, 7);
    EXPECT_FALSE(status.called) << r.at;
    EXPECT_EQ(status.dataOut, QString(7, u' ')) << r.at;
    EXPECT_FALSE(pcsc.command(readCommand(1, 6), {}, 6).called) << r.at;
  }
}
#endif

// Memory cards by their answer to reset: PC/SC's storage-card answer, a synchronous card's own,
// or its own bytes behind 3B 04; processor cards by their protocol or category; the rest asked.
TEST(StorageCardAtr, TellsMemoryCardsFromProcessorCards) {
  const auto m = AtrKind::kMemory, p = AtrKind::kProcessor, a = AtrKind::kAsk;
  const struct { const char* hex; AtrKind kind; } rows[] = {
      {"3B8F8001804F0CA0000003060F0000000000007C", m},    // 2-wire bus memory card
      {"3B8F8001804F0CA0000003060300010000000069", m},    // contactless storage card
      {"3B9F118001804F0CA0000003060F00000000000000", m},  // after TA1: the bytes walked
      {"3B8F8001804F0CA0000003070F0000000000007B", p},    // another RID: T=1, a processor card
      {"3B6E000080318066B08412016E0183009000", p},       // category 80, T=0
      {"3BFF1800FF8131FE45656311086602B00300080001", p},  // T=1 (cut short)
      {"3BDF18008131FE588031B05202046405C903AC73B7B1D422", p},
      {"3B6B00000031C0643F680100079000", p},             // category 00
      {"3B6500001063CB6A80", p},                         // category 10
      {"A2131091", m},                                   // SLE 4442 as some readers pass it on
      {"3B04A2131091", m}, {"3B0492231091", m},          // SLE 4442, SLE 4428 behind 3B 04
      {"3B0482231091", m},                               // serial data access (I2C)
      {"3B04A3131091", a}, {"3B04AA131091", a},          // no general-purpose structure
      {"3B04F2131091", a}, {"3B0472131091", a},          // no bus of synchronous cards
      {"3B04A21310", a},                                 // cut short: not the short form
      {"3B04A213109100", a},                             // a byte too many
      {"3B05A213109100", a},
      {"3B6500002063CB6A80", a},                         // T=0, proprietary historical bytes
      {"3B0214", a},                                     // cut short
      {"3B8F8001804F0CA000", p},                         // cut short, T=1 named
      {"", p},
  };
  for (const auto& r : rows) EXPECT_EQ(classifyAtr(QByteArray::fromHex(r.hex)), r.kind) << r.hex;
  // Only a memory card's answer to the read of byte 0: one byte, 90 00.
  const struct { const char* hex; bool memory; } answers[] = {
      {"FF9000", true}, {"009000", true}, {"6E00", false}, {"6D00", false}, {"6881", false}, {"6A81", false},
      {"9000", false}, {"00009000", false}, {"FF6282", false}, {"", false},
  };
  for (const auto& r : answers) EXPECT_EQ(probeSaysMemory(QByteArray::fromHex(r.hex)), r.memory) << r.hex;
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

#ifdef Q_OS_WIN
// The programs that hold a crashed process for Windows' error box (Wine's debugger stands in).
int errorBoxes() {
  int n = 0;
  const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32FirstW(all, &e); more; more = Process32NextW(all, &e))
    n += _wcsicmp(e.szExeFile, L"winedbg.exe") == 0 || _wcsicmp(e.szExeFile, L"WerFault.exe") == 0;
  CloseHandle(all);
  return n;
}

// A driver that crashes or needs a DLL the PC lacks ends its helper at once, with no error box
// waiting on the branch screen (with one, the crashed helper would wait for a click until the
// call's generous limit here).
TEST_F(CardReaderTest, BrokenDriversPutUpNoErrorBox) {
  const int before = errorBoxes();
  const auto now = [] { return qint64{0}; };
  cardsim({"crash"});
  HelperCardReader crashing(QStringLiteral(CARD_HELPER), QStringLiteral(CARD_DRIVER), now, 30000);
  EXPECT_FALSE(crashing.command(statusCommand(), {}, 7).called);
  HelperCardReader needing(QStringLiteral(CARD_HELPER), QStringLiteral(CARD_DRIVER_NEEDS_MISSING), now, 30000);
  EXPECT_FALSE(needing.command(statusCommand(), {}, 7).called || needing.running());
  EXPECT_EQ(errorBoxes(), before);
  cardsim({"heal"});
}
#endif

}  // namespace quorvalis::testing
