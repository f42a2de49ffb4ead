// The five receipt layouts and the word-wrapping print of their lines.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/printer_system.h"

namespace quorvalis {

struct ReceiptValues {
  QString value;          // geldwert
  QString prefix, number; // as typed
  QString postcode, branchName;
  QString date, time;
  QString receiptNumber;  // cla as stored; printed only when its number is above 0
};

// Each list starts with an empty entry that the print step skips, as the receipt list does.
QStringList BuildPlainReceipt(const ReceiptValues& v);
QStringList BuildNoteReceipt(const ReceiptValues& v);
QStringList BuildPlainSlip(const ReceiptValues& v);
QStringList BuildNoteSlip(const ReceiptValues& v);
QStringList BuildConfirmation(const ReceiptValues& v);

// The entries from the second on, each followed by CR LF.
QString joinReceipt(const QStringList& entries);

inline constexpr char kSeparators[] = " .,;:-_!?(/+";

// Keeps words whole: moves the line's trailing partial word to the front of the carry-over.
void PullBackWord(QString& carryOver, QString& line);

// Prints text with word wrap from (left, top) within width; paragraphs at CR LF. left 0 takes
// the current x, top 0 the current y; width 0 is the rest of the page, negative a right margin.
void PrintWrappedText(PrintDocument& doc, const QString& text, double left, double top,
                      double width, double bottom, bool newPageAllowed, int alignment);

}  // namespace quorvalis
