// What a technician runs on the branch PC itself ("quorval --selftest"): each check of what no
// test bed can show (the server over its scheme, the reader's driver, the printers, the
// autostart entry, the screen and its scaling, the band's place, the program folder, the
// foreground and the pointer), as one German line: "OK: ..." or "FEHLER: ... – what to do".
#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>

namespace quorvalis {

struct Services;

// Runs every check against the installed settings; the first word of a line is OK, FEHLER or
// NICHT GEPRÜFT (what this desktop cannot show).
QStringList runSelfTest(Services& services);

// Writes the report as selftest.txt in the program folder; false when it could not be written.
bool writeSelfTestReport(const QStringList& lines);

// Runs the checks, writes the report and returns it as the technician reads it, with where it
// was written.
QString selfTestReport(Services& services, bool* passed = nullptr);

inline bool selfTestPassed(const QStringList& lines) {
  return !lines.isEmpty() && std::all_of(lines.begin(), lines.end(), [](const QString& l) { return !l.startsWith(u"FEHLER"); });
}

}  // namespace quorvalis
