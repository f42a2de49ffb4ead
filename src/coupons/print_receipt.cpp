#include "coupons/print_receipt.h"

#include <QPainter>

#include "coupons/receipts.h"
#include "platform/support_log.h"

namespace quorvalis {

void PrintReceipt(PrinterSystem& printers, Dialogs& dialogs, const QStringList& entries,
                  const QString& qprinter, const QImage& logo, const QString& title) {
  const QString text = joinReceipt(entries);
  const bool receiptPrinter = qprinter != QStringLiteral("-");
  const QString remembered = printers.currentPrinter();
  if (receiptPrinter && qprinter != remembered && !SelectPrinterByName(printers, qprinter)) {
    logWarning("printer", QStringLiteral("the receipt printer %1 is not installed; printed on %2").arg(qprinter, remembered));
    dialogs.message(QStringLiteral("Drucker nicht gefunden !"), QStringLiteral("Hinweis"));
  }

  // The job's title names the coupon: the log names the printer only.
  if (!receiptPrinter) {
    if (!PrintFullPage(printers, text, logo, title))
      logError("printer", QStringLiteral("a receipt could not be printed on %1").arg(printers.currentPrinter()));
    return;
  }
  const auto doc = printers.newDocument(title);
  doc->setMillimetres();
  doc->setFont(QStringLiteral("Arial"), 10);
  PrintWrappedText(*doc, text, 0, 0, 0, 0, true, 0);
  if (!doc->end()) logError("printer", QStringLiteral("a receipt could not be printed on %1").arg(printers.currentPrinter()));
  SelectPrinterByName(printers, remembered);
}

bool PrintFullPage(PrinterSystem& printers, const QString& text, const QImage& logo,
                   const QString& title) {
  const auto doc = printers.newDocument(title);
  doc->drawImage(logo, 20, 10);  // still in twips, as the layout expects
  doc->setMillimetres();
  doc->setFont(QStringLiteral("Arial"), 12);
  PrintWrappedText(*doc, text, 20, 30, -20, 0, true, 0);
  return doc->end();
}

QImage receiptLogo() {
  QImage logo(360, 90, QImage::Format_ARGB32);
  logo.setDotsPerMeterX(3780);  // 96 dpi: about 95 x 24 mm on paper
  logo.setDotsPerMeterY(3780);
  logo.fill(Qt::white);
  QPainter g(&logo);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 92, 153));
  g.drawRoundedRect(QRectF(2, 2, 86, 86), 14, 14);
  g.setBrush(QColor(255, 170, 0));
  g.drawEllipse(QPointF(45, 40), 22, 22);
  QFont mark(QStringLiteral("Arial"));
  mark.setPixelSize(40);
  mark.setBold(true);
  g.setFont(mark);
  g.setPen(QColor(0, 92, 153));
  g.drawText(QRectF(2, 2, 86, 78), Qt::AlignCenter, QStringLiteral("Q"));
  QFont name(QStringLiteral("Arial"));
  name.setPixelSize(42);
  name.setBold(true);
  g.setFont(name);
  g.drawText(QRectF(100, 0, 260, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("quorvalis"));
  QFont line(QStringLiteral("Arial"));
  line.setPixelSize(18);
  g.setFont(line);
  g.setPen(QColor(90, 90, 90));
  g.drawText(QRectF(102, 58, 260, 28), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Tarvendel Coupons"));
  return logo;
}

}  // namespace quorvalis
