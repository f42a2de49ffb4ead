// A redemption interrupted at every step by an end of the program, and the next start: exactly
// one receipt and one log line for a coupon the server deleted, none for one it did not.
#include <QDir>

#include "common/text.h"
#include "coupons/coupon_screen.h"
#include "coupons/redemption_journal.h"
#include "coupons/texts.h"
#include "screen_test.h"

namespace quorvalis::testing {

namespace {

const QString kSearch = "/quorvalis/DATA/searchc.cgi?";
const QString kDelete = "/quorvalis/DATA/delcoupon.cgi?";
const QString kStands = "1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;-;";
const QString kRedeemed = "1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;04.12.2026;";

// Calls the hooks around each print job, as a kill before or after the spooler took it.
class HookedPrinters : public RecordingPrinterSystem {
 public:
  std::unique_ptr<PrintDocument> newDocument(const QString& title) override {
    if (beforeJob) beforeJob();
    documents.push_back({current, title});
    struct Doc : RecordingDocument {
      Doc(RecordedDocument& d, std::function<void()> after) : RecordingDocument(d), after_(std::move(after)) {}
      bool end() override {
        const bool ok = RecordingDocument::end();
        if (after_) after_();
        return ok;
      }
      std::function<void()> after_;
    };
    return std::make_unique<Doc>(documents.back(), afterJob);
  }
  std::function<void()> beforeJob, afterJob;
};

}  // namespace

class InterruptedRedemptionTest : public ProgramFolderTest {
 protected:
  // The program folder as the disk holds it at the moment of the end.
  QMap<QString, QByteArray> snapshot() {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(path(".")).entryList(QDir::Files)) files[name] = readBytes(name);
    return files;
  }
  void restore(const QMap<QString, QByteArray>& files) {
    for (const QString& name : QDir(path(".")).entryList(QDir::Files)) QFile::remove(path(name));
    for (auto it = files.begin(); it != files.end(); ++it) writeBytes(it.key(), it.value());
  }
  int logLines() { return fromCp1252(readBytes("coupons.ini")).count("\r\n"); }
  int receipts() {
    int n = 0;
    for (const auto& d : printers.documents) n += d.title.startsWith("quorvalis Quittung") && d.ended;
    return n;
  }
  void redeem() {
    CouponScreen screen(services, state);
    fill(screen, {"0171", "0234567", "1234"});
    screen.cmdEnterNum_Click();
    screen.Datapr_Click();
    screen.guteinl_Click();
  }

  FakeServices fakes;
  HookedPrinters printers;
  Services services{fakes.clock, fakes.server, fakes.cardReader, fakes.desktop, fakes.dialogs, printers};
  TerminalState state = bandState();
};

TEST_F(InterruptedRedemptionTest, EndAtEveryStepThenTheNextStartsFinishOrDrop) {
  enum Step { kDeletionSent, kDeletedUnconfirmed, kBeforeReceipt, kInsideThePrint, kAfterReceipt, kAfterLogLine };
  const struct { const char* what; Step step; bool receipts; bool deleted; } rows[] = {
      {"inside the print job (a printer driver that crashes): never printed twice", kInsideThePrint, true, true},
      {"before the server deleted it", kDeletionSent, true, false},
      {"the server deleted it, its answer lost", kDeletedUnconfirmed, true, true},
      {"after the confirmation, before the receipt", kBeforeReceipt, true, true},
      {"after the receipt, before the log line", kAfterReceipt, true, true},
      {"after the log line", kAfterLogLine, true, true},
      {"receipts off: the server deleted it, its answer lost", kDeletedUnconfirmed, false, true},
      {"receipts off: before the server deleted it", kDeletionSent, false, false},
      {"receipts off: after the confirmation", kBeforeReceipt, false, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    restore({});
    printers.documents.clear();
    writeBytes("filialini.ini", QByteArray("[clients]\r\nprint=") + (r.receipts ? "1" : "0") + "\r\nquitt=0\r\n");
    writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
    fakes.server.reply(kSearch, kStands);
    fakes.server.reply(kDelete, "OK");

    QMap<QString, QByteArray> atTheEnd;
    size_t printedBefore = 0;
    bool taken = false;
    QList<PendingRedemption> journalSent;
    const auto take = [&] {
      if (taken) return;
      taken = true;
      atTheEnd = snapshot();
      printedBefore = printers.documents.size();
    };
    fakes.server.whileWaiting = [&](const QString& path) {
      if (!path.startsWith(kDelete)) return;
      journalSent = readJournal();  // written before the request went out
      if (r.deleted) fakes.server.reply(kSearch, kRedeemed);
      if (r.step <= kDeletedUnconfirmed) take();
    };
    printers.beforeJob = [&] { if (r.step == kBeforeReceipt || r.step == kInsideThePrint) take(); };
    printers.afterJob = [&] { if (r.step == kAfterReceipt) take(); };
    redeem();
    fakes.server.whileWaiting = nullptr;
    printers.beforeJob = printers.afterJob = nullptr;
    ASSERT_EQ(journalSent.size(), 1);
    EXPECT_EQ(journalSent[0].phase, PendingRedemption::kSent);
    if (r.step == kBeforeReceipt && !r.receipts) {
      // No print job: the moment after the answer holds the journal as the deletion left it.
      restore({});
      writeBytes("filialini.ini", "[clients]\r\nprint=0\r\n");
      writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
      PendingRedemption deleted = journalSent[0];
      deleted.phase = PendingRedemption::kDeleted;
      ASSERT_TRUE(journalRedemption(deleted));
      take();
    }
    if (r.step == kAfterLogLine) {
      // Everything done but the journal's last update: the line is in the log, the entry stays.
      PendingRedemption done = journalSent[0];
      done.phase = r.receipts ? PendingRedemption::kPrinted : PendingRedemption::kDeleted;
      ASSERT_TRUE(journalRedemption(done));
      take();
      ASSERT_EQ(logLines(), 1);
    }
    ASSERT_TRUE(taken);
    restore(atTheEnd);
    if (r.step == kBeforeReceipt && r.receipts) {
      // Back to the moment the confirmation was noted, before the counter and the job.
      PendingRedemption deleted = readJournal().value(0);
      ASSERT_EQ(deleted.phase, PendingRedemption::kPrinting);
      deleted.phase = PendingRedemption::kDeleted;
      ASSERT_TRUE(journalRedemption(deleted));
      writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
    }
    printers.documents.resize(printedBefore);

    // The next start, and the one after it.
    for (int start = 0; start < 2; ++start) finishInterruptedRedemptions(services);
    const int expected = r.deleted ? 1 : 0;
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(receipts(), r.receipts && r.step != kInsideThePrint ? expected : 0);
    EXPECT_TRUE(readJournal().isEmpty());
    if (r.deleted) {
      EXPECT_EQ(fromCp1252(readBytes("coupons.ini")), "04.12.2026;1234;0049171234567;5\r\n");
      // The counter advanced once for the one receipt.
      EXPECT_TRUE(readBytes("cl.ini").contains(r.receipts ? "cla=8" : "cla=7"));
    }
    if (r.deleted && r.receipts && r.step <= kBeforeReceipt) {
      EXPECT_TRUE(printers.documents.back().lines().contains(QString::fromUtf8(coupon_texts::kPrintedAfterRestart)));
    }
  }
}

// A redemption whose deletion was sent and never answered: the lookup's answer decides, as the
// coupon screen reads it; an answer that tells nothing keeps it for the next start.
TEST_F(InterruptedRedemptionTest, TheLookupDecidesWhatTheServerDidWithAnUnansweredDeletion) {
  const struct { QString reply; int logLines; bool kept; } rows[] = {
      {"", 0, true},                                      // no server: ask again later
      {"<h1>File Not Found</h1>", 0, true},               // its not-found page for the script
      {kStands, 0, false},                                // the coupon stands: nothing happened
      {"1234;01.12.2026;Freigetränk;5;x;;-;", 0, false},  // expired meanwhile, still not redeemed
      {kRedeemed, 1, false},                              // redeemed: the deletion went through
      {"1234;05.01.2027;x;5;x;;1;04.12.2026", 1, false},  // redeemed, dated in the last field
      {"1234;05.01.2027;x;5;x;;;04.12.2026", 0, false},   // no redemption mark: it stands
      {"-", 1, false},                                    // no such coupon any more
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.reply.toStdString());
    restore({});
    PendingRedemption p;
    p.lookup = kSearch + "B---0049171234567---1234";
    p.code = "1234";
    p.logLine = "04.12.2026;1234;0049171234567;5";
    ASSERT_TRUE(journalRedemption(p));
    fakes.server.reply(kSearch, r.reply);
    EXPECT_EQ(finishInterruptedRedemptions(services), r.logLines);
    EXPECT_EQ(logLines(), r.logLines);
    EXPECT_EQ(readJournal().size(), r.kept ? 1 : 0);
  }
  // A journal that cannot be read is no redemption.
  writeBytes(kJournalFile, "{half");
  EXPECT_TRUE(readJournal().isEmpty());
}

}  // namespace quorvalis::testing
