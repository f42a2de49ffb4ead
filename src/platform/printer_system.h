// The system's printers and a print document with fonts, text measuring and pages.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>

namespace quorvalis {

// A print job in progress. Positions and sizes are in the document's current unit: twips
// until setMillimetres() is called, millimetres after it.
class PrintDocument {
 public:
  virtual ~PrintDocument() = default;
  virtual void setMillimetres() = 0;
  virtual void setFont(const QString& family, int pointSize) = 0;
  virtual void drawImage(const QImage& image, double x, double y) = 0;  // natural size
  virtual double textWidth(const QString& text) const = 0;
  virtual double textHeight(const QString& text) const = 0;
  virtual double printableWidth() const = 0;
  virtual double printableHeight() const = 0;
  virtual double currentX() const = 0;
  virtual double currentY() const = 0;
  virtual void setCurrentX(double x) = 0;
  virtual void setCurrentY(double y) = 0;
  // Prints at the current position, then moves to the start of the next line.
  virtual void printLine(const QString& text) = 0;
  virtual void newPage() = 0;  // the current position goes to the new page's top
  // The document goes to the printer; false when there was no printer to take it.
  virtual bool end() = 0;
};

class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;
  virtual QStringList printerNames() = 0;  // in the system's order
  virtual QString currentPrinter() = 0;    // "" when there is no printer
  virtual void setCurrentPrinter(const QString& name) = 0;
  virtual std::unique_ptr<PrintDocument> newDocument(const QString& title) = 0;
};

// Makes the first printer whose name matches exactly (case included) current.
bool SelectPrinterByName(PrinterSystem& printers, const QString& name);

// Qt PrintSupport: CUPS on Linux, the spooler on Windows. The current printer starts as the
// system's default.
class QtPrinterSystem : public PrinterSystem {
 public:
  QStringList printerNames() override;
  QString currentPrinter() override;
  void setCurrentPrinter(const QString& name) override {
    current_ = name;
    known_ = true;
  }
  std::unique_ptr<PrintDocument> newDocument(const QString& title) override;

 private:
  QString current_;
  bool known_ = false;  // asked of the print system when first needed, not at start
};

}  // namespace quorvalis
