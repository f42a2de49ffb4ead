#include "platform/printer_system.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace quorvalis {

bool SelectPrinterByName(PrinterSystem& printers, const QString& name) {
  for (const QString& printer : printers.printerNames()) {
    if (printer == name) {
      printers.setCurrentPrinter(printer);
      return true;
    }
  }
  return false;
}

namespace {

class QtPrintDocument : public PrintDocument {
 public:
  QtPrintDocument(const QString& printerName, const QString& title)
      : printer_(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution) {
    printer_.setDocName(title);
    printer_.setFullPage(false);
    // Without a printer nothing begins: every drawing call is a no-op and end() says so.
    if (!printerName.isEmpty() && !QPrinterInfo::printerInfo(printerName).isNull()) painter_.begin(&printer_);
    unitToDevice_ = printer_.resolution() / 1440.0;  // twips until told otherwise
    font_ = QFont(QStringLiteral("Arial"), 10);
  }
  ~QtPrintDocument() override {
    if (painter_.isActive()) painter_.end();
  }

  void setMillimetres() override {
    const double mm = printer_.resolution() / 25.4;
    x_ = x_ * unitToDevice_ / mm;
    y_ = y_ * unitToDevice_ / mm;
    unitToDevice_ = mm;
  }
  void setFont(const QString& family, int pointSize) override {
    font_ = QFont(family, pointSize);
    if (painter_.isActive()) painter_.setFont(font_);
  }
  void drawImage(const QImage& image, double x, double y) override {
    // Natural size: the picture's own resolution mapped onto the printer's.
    if (!painter_.isActive()) return;
    const double scale = printer_.resolution() / (image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96.0);
    painter_.drawImage(QRectF(x * unitToDevice_, y * unitToDevice_, image.width() * scale,
                              image.height() * scale),
                       image);
  }
  double textWidth(const QString& text) const override {
    return QFontMetricsF(font_, &printer_).horizontalAdvance(text) / unitToDevice_;
  }
  double textHeight(const QString&) const override {
    return QFontMetricsF(font_, &printer_).height() / unitToDevice_;
  }
  double printableWidth() const override {
    return printer_.pageRect(QPrinter::DevicePixel).width() / unitToDevice_;
  }
  double printableHeight() const override {
    return printer_.pageRect(QPrinter::DevicePixel).height() / unitToDevice_;
  }
  double currentX() const override { return x_; }
  double currentY() const override { return y_; }
  void setCurrentX(double x) override { x_ = x; }
  void setCurrentY(double y) override { y_ = y; }
  void printLine(const QString& text) override {
    const QFontMetricsF metrics(font_, &printer_);
    if (painter_.isActive()) {
      painter_.setFont(font_);
      painter_.drawText(QPointF(x_ * unitToDevice_, y_ * unitToDevice_ + metrics.ascent()), text);
    }
    x_ = 0;
    y_ += metrics.height() / unitToDevice_;
  }
  void newPage() override {
    if (painter_.isActive()) printer_.newPage();
    x_ = 0;
    y_ = 0;
  }
  bool end() override { return painter_.isActive() && painter_.end(); }

 private:
  QPrinter printer_;
  QPainter painter_;
  QFont font_;
  double unitToDevice_ = 1;
  double x_ = 0, y_ = 0;
};

}  // namespace

// Asking CUPS takes about 12 ms: the band starts without it.
QString QtPrinterSystem::currentPrinter() {
  if (!known_) setCurrentPrinter(QPrinterInfo::defaultPrinterName());
  return current_;
}

QStringList QtPrinterSystem::printerNames() { return QPrinterInfo::availablePrinterNames(); }

std::unique_ptr<PrintDocument> QtPrinterSystem::newDocument(const QString& title) {
  return std::make_unique<QtPrintDocument>(currentPrinter(), title);
}

}  // namespace quorvalis
