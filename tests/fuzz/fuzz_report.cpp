// The branch report from any redemption log.
#include "branch/branch_report.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QStringList records =
      reportRecords(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  const QStringList lines = reportLines(records, QStringLiteral("Bar"), QStringLiteral("---"), QDate(2026, 12, 4));
  if (lines.size() != (records.isEmpty() ? 2 : 8 + records.size())) __builtin_trap();
  return 0;
}
