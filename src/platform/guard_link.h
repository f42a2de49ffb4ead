// The terminal's side of its guard (quorval-guard): the hand-over at start, the heartbeat, the
// words the guard needs to tell a planned end from a crash, and the crash handlers that report
// what failed and where.
#pragma once

#include <QString>

class QObject;

namespace quorvalis::guardlink {

// Before anything else: a terminal not started by its guard hands the start over to it. Linux:
// the guard replaces this process (nothing returns when that worked). Windows: the guard is
// started and this process must end at once (true). False: go on unguarded (no guard beside the
// program, or a program started only to answer --selftest and the like).
bool handOverToGuard(int argc, char** argv);

// Takes the guard's pipe when this process is guarded and installs the crash handlers. Call once,
// before the application object.
void connect();
bool guarded();

// Starts the heartbeat on this (the user interface) thread and tells the guard how long to wait.
void startHeartbeat(QObject* owner, int hangSeconds);

// The end that follows is the program's own: no restart.
void plannedEnd(const QString& reason);
// The branch a restarted terminal logs in with, and "the band is up".
void loggedIn(const QString& branchId);
void bandShown();
// The branch this terminal was restarted with ("" when none).
QString resumeBranch();

// Where the guard would be (beside the program, or in ../libexec/quorvalis).
QString guardProgram();

}  // namespace quorvalis::guardlink
