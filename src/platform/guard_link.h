// The terminal's side of its guard (quorval-guard): the hand-over at start, the heartbeat, the
// words the guard needs to tell a planned end from a crash, and the crash handlers that report
// what failed and where.
#pragma once

#include <QString>

class QObject;

namespace quorvalis::guardlink {

// Before anything else: a terminal not started by its guard starts one that adopts it. Linux: this
// process becomes the guard (nothing returns there) and the terminal goes on in a forked child.
// Windows: the guard is started beside this process. Either way what returns is the terminal,
// guarded when connect() finds the pipe; unguarded when no guard lies beside the program or it
// was started only to answer --selftest and the like.
void handOverToGuard(int argc, char** argv);

// Takes the guard's pipe when this process is guarded and installs the crash handlers. Call once,
// before the application object.
void connect();
bool guarded();

// Starts the heartbeat on this (the user interface) thread and tells the guard how long to wait.
void startHeartbeat(QObject* owner, int hangSeconds);

// The end that follows is the program's own: no restart.
void plannedEnd(const QString& reason);
// The end that follows is planned, and the guard starts the program anew at once (from its file
// on disk, which a package manager replaced), itself included.
void restartWanted(const QString& reason);
// The branch a restarted terminal logs in with, and "the band is up".
void loggedIn(const QString& branchId);
void bandShown();
// The branch this terminal was restarted with ("" when none).
QString resumeBranch();

// Where the guard would be (beside the program, or in ../libexec/quorvalis).
QString guardProgram();

}  // namespace quorvalis::guardlink
