#pragma once

#include <QImage>
#include <QStringList>

#include "platform/dialogs.h"
#include "platform/printer_system.h"

namespace quorvalis {

// One document per receipt: on the receipt printer (qprinter, "-" for none) narrow and without
// margins, else full-page with the logo; the printer current before is current again after.
void PrintReceipt(PrinterSystem& printers, Dialogs& dialogs, const QStringList& entries,
                  const QString& qprinter, const QImage& logo, const QString& title);

// A full page on the current printer: the logo top left, Arial 12 pt, 20 mm left and right,
// 30 mm from the top, word-wrapped with page breaks. False when nothing was printed.
bool PrintFullPage(PrinterSystem& printers, const QString& text, const QImage& logo,
                   const QString& title);

// The product's logo for full-page receipts.
QImage receiptLogo();

}  // namespace quorvalis
