// The support log from the terminal's side (the file and its bounds: diagnostics/support_log.h).
// Never a name, a number, a birthday, a code, a password, a credential or a message text: a line
// says what happened, not to whom.
#pragma once

#include <QString>

namespace quorvalis {

void logInfo(const char* source, const QString& text);
void logWarning(const char* source, const QString& text);
void logError(const char* source, const QString& text);

// The script a request went to, without the values it carried.
QString requestName(const QString& target);

}  // namespace quorvalis
