// The word wrap and page breaks of receipts and the report, with any text, widths and margins.
#include <fuzzer/FuzzedDataProvider.h>

#include "common/text.h"
#include "coupons/receipts.h"
#include "fakes.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  testing::RecordingPrinterSystem printers;
  printers.charWidth = in.ConsumeFloatingPointInRange(0.1, 20.0);
  printers.lineHeight = in.ConsumeFloatingPointInRange(0.5, 30.0);
  printers.pageWidth = in.ConsumeFloatingPointInRange(1.0, 400.0);
  printers.pageHeight = in.ConsumeFloatingPointInRange(1.0, 400.0);
  const double left = in.ConsumeFloatingPointInRange(0.0, 100.0);
  const double top = in.ConsumeFloatingPointInRange(0.0, 100.0);
  const double width = in.ConsumeFloatingPointInRange(-100.0, 300.0);
  const bool newPages = in.ConsumeBool();
  const QString text = fromCp1252(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
  auto doc = printers.newDocument(QStringLiteral("fuzz"));
  PrintWrappedText(*doc, text, left, top, width, 0, newPages, 0);
  doc->end();
  // Every character printed comes from the text: nothing invented, nothing lost but line ends.
  qsizetype printed = 0;
  for (const QString& line : printers.documents.front().lines()) printed += line.size();
  if (printed > text.size()) __builtin_trap();
  return 0;
}
