#include <charconv>
#include <cstdlib>
#include <system_error>

#include "diagnostics/crash_records.h"
#include "diagnostics/support_log.h"
#include "platform/guard_process.h"

namespace quorvalis::guard {

namespace fs = std::filesystem;

fs::path programFolderOfThisUser() {
  if (const char* home = std::getenv("QUORVALIS_HOME"); home && *home) return fs::path(home);
#ifdef _WIN32
  return fs::path("c:/quorvalis");
#else
  const char* user = std::getenv("HOME");
  return fs::path(user ? user : "/") / "quorvalis";
#endif
}

namespace {

template <typename Number>
bool readNumber(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && !text.empty();
}

}  // namespace

std::optional<GuardSetup> readCommandLine(const std::vector<std::string>& args) {
  GuardSetup setup;
  size_t first = 0;
  if (!args.empty() && args[0] == "--adopt") {
    AdoptedTerminal adopted;
    if (args.size() < 5 || !readNumber(args[1], adopted.pid) || adopted.pid <= 0 ||
        !readNumber(args[2], adopted.pipe) || !readNumber(args[3], adopted.process))
      return std::nullopt;
    setup.adopted = adopted;
    first = 4;
  }
  if (args.size() <= first || args[first].empty()) return std::nullopt;
  setup.terminal = args[first];
  setup.args.assign(args.begin() + static_cast<std::ptrdiff_t>(first) + 1, args.end());
  return setup;
}

EndDecision decideAfterEnd(const GuardSetup& setup, RestartBudget& budget, const ProcessEnd& end,
                           const TerminalWords& words, bool hungKilled, bool stopRequested, bool windows,
                           bool displayGone, Clock::time_point now, const fs::path& dumpSource) {
  EndDecision d{classifyEnd(end, words, hungKilled, windows, displayGone)};
  std::error_code ec;
  if (d.report.kind == EndKind::Planned) {
    diag::appendLogLine(setup.programFolder, diag::Level::Info, "guard", "terminal ended, " + d.report.cause);
    if (!dumpSource.empty()) fs::remove(dumpSource, ec);
    return d;
  }
  diag::CrashRecord record{now, setup.version, windows ? "windows" : "linux", kindName(d.report.kind),
                           d.report.cause, words.frames, {}};
  const fs::path written = diag::writeRecord(setup.programFolder, record, dumpSource);
  const std::string recordName = written.empty() ? "no record written" : "record " + written.filename().string();
  if (stopRequested) {
    diag::appendLogLine(setup.programFolder, diag::Level::Warning, "guard",
                        "terminal ended unplanned while the guard was asked to stop, no restart: " +
                            d.report.cause + "; " + recordName);
    return d;
  }
  d.restart = budget.countEnd(now);
  d.gaveUp = !d.restart;
  diag::appendLogLine(
      setup.programFolder, diag::Level::Error, "guard",
      "terminal ended unplanned: " + d.report.cause + "; " + recordName + "; " +
          (d.restart ? "restart " + std::to_string(budget.recentEnds()) + " of " + std::to_string(kMaxUnplannedEnds) +
                           " within 10 minutes"
                     : std::to_string(budget.recentEnds()) +
                           " unplanned ends within 10 minutes: no further restart, the staff are told"));
  return d;
}

}  // namespace quorvalis::guard
