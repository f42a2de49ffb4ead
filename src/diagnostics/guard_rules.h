// The guard's rules: what the terminal tells it, how an end is told apart, when restarts stop.
// Standard library only; the guard program and the terminal share them.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace quorvalis::guard {

using Clock = std::chrono::system_clock;

// The variable through which a guarded terminal finds its guard's pipe (a descriptor on Linux,
// a handle on Windows), and the branch a restarted terminal logs in with.
inline constexpr char kPipeVariable[] = "QUORVALIS_GUARD";
inline constexpr char kBranchVariable[] = "QUORVALIS_GUARD_BRANCH";

// The terminal's heartbeat and how long the guard waits without one before it calls the
// terminal hung. Every wait longer than a moment runs in an event loop that keeps the heartbeat
// going (requests up to 110 s, downloads, message boxes); what blocks the thread outright is
// bounded to seconds (a reader call 2 s, a file retry 1 s, the self-test's 3 s). A minute is
// far above those and brings the band back within about 65 s. install.ini [guard] hang moves it
// within these bounds.
inline constexpr int kBeatMs = 1000;
inline constexpr int kDefaultHangSeconds = 60;
inline constexpr int kMinHangSeconds = 5;
inline constexpr int kMaxHangSeconds = 110;
int hangSecondsFrom(std::string_view setting);

// Each of this many unplanned ends within the window is restarted; the next one is not.
inline constexpr int kMaxUnplannedEnds = 5;
inline constexpr std::chrono::minutes kLoopWindow{10};

// What the terminal told the guard, one line at a time: "alive", "hang <s>", "branch <id>",
// "band", "planned <reason>", "restart <reason>" (planned, to start anew), "crash <what>", "frame <module>+0x<offset>", "dump <file>".
struct TerminalWords {
  bool plannedEnd = false;
  bool restartWanted = false;  // planned, and the program starts anew from its file
  std::string plannedReason;
  std::string crash;
  std::vector<std::string> frames;
  std::string dumpFile;
  std::string branch;
  int hangSeconds = kDefaultHangSeconds;
  bool bandShown = false;
  Clock::time_point lastSign{};
};
// Takes one line (without its line break); true when it was a sign of life.
bool takeLine(TerminalWords& words, std::string_view line, Clock::time_point now);

// How the process ended, as the system reports it.
struct ProcessEnd {
  bool signaled = false;  // POSIX: ended by a signal
  int signal = 0;
  int exitCode = 0;       // the exit code otherwise (Windows: always)
};

enum class EndKind { Planned, Crash, Kill, Hang };
const char* kindName(EndKind kind);

struct EndReport {
  EndKind kind;
  std::string cause;  // for the log and the record
};

// windows: exit codes are the only report (an exception code, or 1 from a kill). hungKilled: the
// guard ended it for want of a heartbeat. displayGone: the session's display went away (logoff).
EndReport classifyEnd(const ProcessEnd& end, const TerminalWords& words, bool hungKilled,
                      bool windows, bool displayGone = false);

std::string signalName(int signal);

// Unplanned ends in the last window; no restart once there were too many.
class RestartBudget {
 public:
  // Counts an unplanned end at now; true while restarts go on.
  bool countEnd(Clock::time_point now);
  int recentEnds() const { return static_cast<int>(ends_.size()); }

 private:
  std::deque<Clock::time_point> ends_;
};

}  // namespace quorvalis::guard
