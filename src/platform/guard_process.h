// The guard: runs the terminal, restarts it after every end it did not plan, records each such
// end and gives up after a crash loop. Standard library and the system only (no Qt), so it stays
// small while it waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics/guard_rules.h"

namespace quorvalis::guard {

// A terminal that started its guard itself and is watched as the first one: its process number,
// the read end of its pipe and, on Windows, a handle of its process (handle values as numbers).
struct AdoptedTerminal {
  long pid = 0;
  std::uintptr_t pipe = 0;
  std::uintptr_t process = 0;
};

struct GuardSetup {
  std::filesystem::path terminal;  // the terminal program
  std::vector<std::string> args;   // its arguments
  std::filesystem::path programFolder;
  std::string version;
  std::optional<AdoptedTerminal> adopted;  // none: the guard starts the first terminal too
};

// The guard's command line: "TERMINAL [ARGS]" (the guard starts it), or "--adopt PID PIPE PROCESS
// TERMINAL [ARGS]" (the terminal started the guard beside itself). Nothing when it is neither.
std::optional<GuardSetup> readCommandLine(const std::vector<std::string>& args);

// The folder the terminal keeps its files in, as it finds it itself.
std::filesystem::path programFolderOfThisUser();

// Runs until the terminal ends as planned (its exit code) or the guard gives up (1).
int runGuard(const GuardSetup& setup);

// What the guard writes when a terminal ended: the record when unplanned, and the log line.
// Returns true when a restart follows.
struct EndDecision {
  EndReport report;
  bool restart = false;
  bool gaveUp = false;
};
EndDecision decideAfterEnd(const GuardSetup& setup, RestartBudget& budget, const ProcessEnd& end,
                           const TerminalWords& words, bool hungKilled, bool stopRequested,
                           bool windows, bool displayGone, Clock::time_point now,
                           const std::filesystem::path& dumpSource);

}  // namespace quorvalis::guard
