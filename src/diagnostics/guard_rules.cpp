#include "diagnostics/guard_rules.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>

namespace quorvalis::guard {

int hangSecondsFrom(std::string_view setting) {
  while (!setting.empty() && setting.front() == ' ') setting.remove_prefix(1);
  int seconds = 0;
  const auto [end, ec] = std::from_chars(setting.data(), setting.data() + setting.size(), seconds);
  if (ec != std::errc() || end == setting.data()) return kDefaultHangSeconds;
  return std::clamp(seconds, kMinHangSeconds, kMaxHangSeconds);
}

namespace {

bool startsWith(std::string_view line, std::string_view word, std::string_view* rest) {
  if (line == word) {
    *rest = {};
    return true;
  }
  if (line.size() > word.size() && line.substr(0, word.size()) == word && line[word.size()] == ' ') {
    *rest = line.substr(word.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

bool takeLine(TerminalWords& words, std::string_view line, Clock::time_point now) {
  std::string_view rest;
  if (startsWith(line, "alive", &rest)) {
    words.lastSign = now;
    return true;
  }
  if (startsWith(line, "hang", &rest)) {
    words.hangSeconds = hangSecondsFrom(rest);
  } else if (startsWith(line, "branch", &rest)) {
    words.branch = rest;
  } else if (startsWith(line, "band", &rest)) {
    words.bandShown = true;
  } else if (startsWith(line, "planned", &rest)) {
    words.plannedEnd = true;
    words.plannedReason = rest;
  } else if (startsWith(line, "restart", &rest)) {
    words.plannedEnd = words.restartWanted = true;
    words.plannedReason = "to start anew, " + std::string(rest);
  } else if (startsWith(line, "crash", &rest)) {
    if (words.crash.empty()) words.crash = rest;  // the first word is the cause; abort follows
    else if (words.crash.find(std::string(rest)) == std::string::npos) words.crash += ", then " + std::string(rest);
  } else if (startsWith(line, "frame", &rest)) {
    if (words.frames.size() < 64) words.frames.emplace_back(rest);
  } else if (startsWith(line, "dump", &rest)) {
    words.dumpFile = rest;
  } else {
    return false;
  }
  words.lastSign = now;
  return true;
}

const char* kindName(EndKind kind) {
  switch (kind) {
    case EndKind::Planned: return "planned";
    case EndKind::Crash: return "crash";
    case EndKind::Kill: return "kill";
    case EndKind::Hang: return "hang";
  }
  return "?";
}

std::string signalName(int signal) {
  static const struct { int number; const char* name; } kNames[] = {
      {SIGSEGV, "SIGSEGV"}, {SIGABRT, "SIGABRT"}, {SIGFPE, "SIGFPE"}, {SIGILL, "SIGILL"},
      {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"},
#ifndef _WIN32
      {SIGBUS, "SIGBUS"},   {SIGKILL, "SIGKILL"}, {SIGHUP, "SIGHUP"}, {SIGTRAP, "SIGTRAP"},
      {SIGQUIT, "SIGQUIT"}, {SIGPIPE, "SIGPIPE"}, {SIGSYS, "SIGSYS"},
#endif
  };
  for (const auto& n : kNames)
    if (n.number == signal) return "signal " + std::to_string(signal) + " (" + n.name + ")";
  return "signal " + std::to_string(signal);
}

EndReport classifyEnd(const ProcessEnd& end, const TerminalWords& words, bool hungKilled, bool windows,
                      bool displayGone) {
  if (words.plannedEnd) return {EndKind::Planned, "planned: " + words.plannedReason};
  if (hungKilled)
    return {EndKind::Hang, "hang: no sign of life for " + std::to_string(words.hangSeconds) + " s"};
  if (!words.crash.empty()) return {EndKind::Crash, "crash: " + words.crash};
  char code[16];
  std::snprintf(code, sizeof code, windows && end.exitCode < 0 ? "0x%08X" : "%d", end.exitCode);
  if (windows) {
    // Only the terminal's word makes an end planned here: killers choose any exit code (Wine's
    // taskkill 0). Exception codes (0xC...) end a process that found no filter.
    if (static_cast<unsigned>(end.exitCode) >= 0xC0000000u)
      return {EndKind::Crash, std::string("crash: exception ") + code};
    return {EndKind::Kill, std::string("kill: ended from outside, exit code ") + code};
  }
#ifndef _WIN32
  if (end.signaled) {
    // Asked to end: shutdown, logoff, Ctrl-C in a shell.
    if (end.signal == SIGTERM || end.signal == SIGHUP || end.signal == SIGINT)
      return {EndKind::Planned, "planned: " + signalName(end.signal)};
    if (end.signal == SIGKILL) return {EndKind::Kill, "kill: " + signalName(end.signal)};
    return {EndKind::Crash, "crash: " + signalName(end.signal)};
  }
#endif
  // Every planned end says so first: an end without the word was not the program's choice (a
  // library that exits, the display that broke), whatever its code.
  if (displayGone) return {EndKind::Planned, "planned: the display went away (logoff), exit code " + std::string(code)};
  return {EndKind::Crash, std::string("crash: exit code ") + code + " without a planned end"};
}

bool RestartBudget::countEnd(Clock::time_point now) {
  ends_.push_back(now);
  while (!ends_.empty() && now - ends_.front() >= kLoopWindow) ends_.pop_front();
  return static_cast<int>(ends_.size()) <= kMaxUnplannedEnds;
}

}  // namespace quorvalis::guard
