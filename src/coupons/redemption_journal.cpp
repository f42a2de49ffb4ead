#include "coupons/redemption_journal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "common/text.h"
#include "coupons/coupon_record.h"
#include "coupons/print_receipt.h"
#include "coupons/texts.h"
#include "platform/file_write.h"
#include "platform/program_folder.h"
#include "platform/support_log.h"
#include "server/services.h"
#include "settings/ini.h"
#include "settings/settings_files.h"

namespace quorvalis {

namespace {

QString journalPath() { return programFile(QString::fromLatin1(kJournalFile)); }

QJsonObject toJson(const PendingRedemption& p) {
  const ReceiptValues& v = p.values;
  return {{"phase", static_cast<int>(p.phase)}, {"lookup", p.lookup},     {"code", p.code},
          {"log", p.logLine},                   {"print", p.print},        {"qprinter", p.qprinter},
          {"druckQ", p.druckQ},                 {"title", p.title},        {"value", v.value},
          {"prefix", v.prefix},                 {"number", v.number},      {"postcode", v.postcode},
          {"branch", v.branchName},             {"date", v.date},          {"time", v.time},
          {"counter", v.receiptNumber}};
}

PendingRedemption fromJson(const QJsonObject& o) {
  PendingRedemption p;
  p.phase = static_cast<PendingRedemption::Phase>(std::clamp(o["phase"].toInt(), 0, 3));
  p.lookup = o["lookup"].toString();
  p.code = o["code"].toString();
  p.logLine = o["log"].toString();
  p.print = o["print"].toBool();
  p.qprinter = o["qprinter"].toString();
  p.druckQ = o["druckQ"].toString();
  p.title = o["title"].toString();
  p.values = {o["value"].toString(), o["prefix"].toString(),   o["number"].toString(), o["postcode"].toString(),
              o["branch"].toString(), o["date"].toString(),    o["time"].toString(),   o["counter"].toString()};
  return p;
}

bool writeJournal(const QList<PendingRedemption>& entries) {
  if (entries.isEmpty()) return !QFile::exists(journalPath()) || QFile::remove(journalPath());
  QJsonArray array;
  for (const auto& e : entries) array.append(toJson(e));
  ensureProgramFolder();
  return writeFileAtomically(journalPath(), QJsonDocument(array).toJson());
}

}  // namespace

QList<PendingRedemption> readJournal() {
  QFile file(journalPath());
  if (!file.open(QIODevice::ReadOnly)) return {};
  QList<PendingRedemption> entries;
  for (const auto& value : QJsonDocument::fromJson(file.readAll()).array())
    if (value.isObject()) entries.append(fromJson(value.toObject()));
  return entries;
}

bool journalRedemption(const PendingRedemption& entry) {
  QList<PendingRedemption> entries = readJournal();
  entries.removeIf([&](const auto& e) { return e.key() == entry.key(); });
  entries.append(entry);
  return writeJournal(entries);
}

bool dropRedemption(const QString& key) {
  QList<PendingRedemption> entries = readJournal();
  entries.removeIf([&](const auto& e) { return e.key() == key; });
  return writeJournal(entries);
}

QStringList redemptionReceipt(const ReceiptValues& v, const QString& druckQ, const QString& qprinter) {
  if (readNumber(v.value) <= 0) return BuildConfirmation(v);
  const bool slip = qprinter != QStringLiteral("-");
  const double layout = readNumber(druckQ);
  if (layout == 0) return slip ? BuildPlainSlip(v) : BuildPlainReceipt(v);
  if (layout == 1) return slip ? BuildNoteSlip(v) : BuildNoteReceipt(v);
  return {};
}

bool logRedemptionOnce(const QString& line) {
  const QString path = programFile(files::kCouponsLog);
  QFile log(path);
  if (log.open(QIODevice::ReadOnly) && fromCp1252(log.readAll()).split(QStringLiteral("\r\n")).contains(line))
    return true;
  ensureProgramFolder();
  return appendDurably(path, toCp1252(line + QStringLiteral("\r\n")));
}

void advanceReceiptCounter(const QString& readBefore) {
  // A missing counter stays missing; one already advanced for this receipt stays as it is.
  if (readBefore == QStringLiteral("-")) return;
  if (IniRead(programFile(files::kCl), "start", "cla", "-") != readBefore) return;
  writeSetting(keys::kCla, writeNumber(readNumber(readBefore) + 1));
}

namespace {

enum class Standing { kUnknown, kStands, kDeleted };

// As the coupon lookup reads the answer: this coupon's record not redeemed stands; redeemed, or
// no record of it, is gone. No answer, or the server's not-found page, tells nothing.
Standing askServer(Services& services, const PendingRedemption& p) {
  const QString reply = services.server.get(p.lookup);
  if (reply.isEmpty() || reply.contains(QStringLiteral("File Not"))) return Standing::kUnknown;
  const auto result = evaluateCoupon(reply, p.code, services.clock.today(), QString()).result;
  return result == CouponEvaluation::kRedeemed || result == CouponEvaluation::kNotFound ? Standing::kDeleted
                                                                                          : Standing::kStands;
}

}  // namespace

int finishInterruptedRedemptions(Services& services) {
  int finished = 0;
  for (PendingRedemption p : readJournal()) {
    if (p.phase == PendingRedemption::kSent) {
      const Standing standing = askServer(services, p);
      if (standing == Standing::kUnknown) {
        logWarning("coupons", QStringLiteral("an interrupted redemption waits: the server cannot tell yet whether it deleted the coupon"));
        continue;
      }
      if (standing == Standing::kStands) {
        dropRedemption(p.key());
        logInfo("coupons", QStringLiteral("an interrupted redemption was dropped: the server had not deleted the coupon"));
        continue;
      }
      p.phase = PendingRedemption::kDeleted;
      p.values.receiptNumber = IniRead(programFile(files::kCl), "start", "cla", "-");
      journalRedemption(p);
    }
    if (p.print && p.phase == PendingRedemption::kDeleted) {
      QStringList lines = redemptionReceipt(p.values, p.druckQ, p.qprinter);
      advanceReceiptCounter(p.values.receiptNumber);
      if (!lines.isEmpty()) lines.insert(1, QString::fromUtf8(coupon_texts::kPrintedAfterRestart));
      p.phase = PendingRedemption::kPrinting;
      journalRedemption(p);
      PrintReceipt(services.printers, services.dialogs, lines, p.qprinter, receiptLogo(), p.title);
      p.phase = PendingRedemption::kPrinted;
      journalRedemption(p);
    } else if (p.print && p.phase == PendingRedemption::kPrinting) {
      logWarning("coupons", QStringLiteral("the program ended while a receipt was printing; it is not printed again"));
    }
    if (!logRedemptionOnce(p.logLine)) {
      logError("coupons", QStringLiteral("an interrupted redemption could not be logged; it stays in the journal"));
      continue;
    }
    dropRedemption(p.key());
    ++finished;
    logInfo("coupons", QStringLiteral("an interrupted redemption was finished after a restart (%1)")
                           .arg(p.print ? QStringLiteral("receipt printed again, log line written")
                                        : QStringLiteral("log line written")));
  }
  return finished;
}

}  // namespace quorvalis
