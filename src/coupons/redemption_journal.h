// Redemptions under way, written before the coupon's deletion is sent: a program that ends
// anywhere between the deletion and the log line finishes them at its next start (receipt and
// log line once each) or drops those the server did not delete.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "coupons/receipts.h"

namespace quorvalis {

struct Services;

inline constexpr char kJournalFile[] = "redemptions.journal";

struct PendingRedemption {
  // kPrinting: the job went to the printer. A program that ended inside it is not made to print
  // it again: a second receipt for one coupon, or a printer driver that takes the program down
  // at every start, is worse than one receipt lost.
  enum Phase { kSent, kDeleted, kPrinting, kPrinted };
  Phase phase = kSent;
  QString lookup;         // the request that asks whether the coupon still stands
  QString code;           // what that answer begins with when it is this coupon's record
  QString logLine;        // exactly as the log gets it, without the line end
  bool print = false;     // receipts were on for this redemption
  QString qprinter, druckQ;
  ReceiptValues values;   // receiptNumber: the counter as read for this receipt, once deleted
  QString title;          // the print job's name

  QString key() const { return logLine; }  // one line per coupon: its date, code and number
};

// The journal's entries; an unreadable journal reads as empty.
QList<PendingRedemption> readJournal();
// Adds the entry or replaces the one with its key; false when the journal could not be written.
bool journalRedemption(const PendingRedemption& entry);
bool dropRedemption(const QString& key);

// The receipt's lines as the redemption builds them, by value, layout and receipt printer.
QStringList redemptionReceipt(const ReceiptValues& values, const QString& druckQ, const QString& qprinter);

// Appends the line to the redemption log unless it is there already.
bool logRedemptionOnce(const QString& line);
// Advances the receipt counter from the value read for this receipt, once.
void advanceReceiptCounter(const QString& readBefore);

// At start, once the server answers: finishes what the server deleted, drops what it did not,
// keeps what it cannot tell yet. Returns how many were finished.
int finishInterruptedRedemptions(Services& services);

}  // namespace quorvalis
