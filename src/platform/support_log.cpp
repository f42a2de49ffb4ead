#include "platform/support_log.h"

#include "diagnostics/support_log.h"
#include "platform/program_folder.h"

namespace quorvalis {

namespace {

void write(diag::Level level, const char* source, const QString& text) {
  if (!ensureProgramFolder()) return;
  diag::appendLogLine(std::filesystem::path(programFolder().toStdU16String()), level, source,
                      text.toUtf8().toStdString());
}

}  // namespace

void logInfo(const char* source, const QString& text) { write(diag::Level::Info, source, text); }
void logWarning(const char* source, const QString& text) { write(diag::Level::Warning, source, text); }
void logError(const char* source, const QString& text) { write(diag::Level::Error, source, text); }

QString requestName(const QString& target) {
  return QString::fromStdString(diag::requestName(target.toStdString()));
}

}  // namespace quorvalis
