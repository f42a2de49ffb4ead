// The guard's rules, the crash records and the support log's bounds.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <csignal>
#include <fstream>

#include "diagnostics/crash_records.h"
#include "diagnostics/guard_rules.h"
#include "diagnostics/support_log.h"
#include "platform/guard_process.h"

namespace quorvalis::testing {

namespace fs = std::filesystem;
using namespace guard;
using std::chrono::minutes;
using std::chrono::seconds;

TEST(GuardRules, EachEndIsToldApart) {
  TerminalWords quiet, planned, crashed;
  planned.plannedEnd = true;
  planned.plannedReason = "the band's quit button";
  crashed.crash = "signal 11 (SIGSEGV) at 0x0";
  const struct { ProcessEnd end; const TerminalWords* words; bool hung, windows, displayGone; EndKind kind; const char* cause; } rows[] = {
      {{false, 0, 0}, &planned, false, false, false, EndKind::Planned, "planned: the band's quit button"},
      {{true, SIGSEGV, 0}, &planned, false, false, false, EndKind::Planned, "planned: the band's quit button"},  // crashed while ending
      {{false, 0, 0}, &quiet, false, false, false, EndKind::Crash, "crash: exit code 0 without a planned end"},
#ifndef _WIN32
      {{true, SIGTERM, 0}, &quiet, false, false, false, EndKind::Planned, "planned: signal 15 (SIGTERM)"},
      {{true, SIGHUP, 0}, &quiet, false, false, false, EndKind::Planned, "planned: signal 1 (SIGHUP)"},
      {{true, SIGKILL, 0}, &quiet, false, false, false, EndKind::Kill, "kill: signal 9 (SIGKILL)"},
      {{true, SIGSEGV, 0}, &quiet, false, false, false, EndKind::Crash, "crash: signal 11 (SIGSEGV)"},
      {{true, SIGSEGV, 0}, &crashed, false, false, false, EndKind::Crash, "crash: signal 11 (SIGSEGV) at 0x0"},
      {{true, SIGKILL, 0}, &quiet, true, false, false, EndKind::Hang, "hang: no sign of life for 60 s"},
#endif
      {{false, 0, 1}, &quiet, false, false, false, EndKind::Crash, "crash: exit code 1 without a planned end"},
      {{false, 0, 1}, &quiet, false, false, true, EndKind::Planned, "planned: the display went away (logoff), exit code 1"},
      // Windows: only what the terminal said makes an end planned; killers choose any code.
      {{false, 0, 0}, &quiet, false, true, false, EndKind::Kill, "kill: ended from outside, exit code 0"},
      {{false, 0, 1}, &quiet, false, true, false, EndKind::Kill, "kill: ended from outside, exit code 1"},
      {{false, 0, static_cast<int>(0xC0000005u)}, &quiet, false, true, false, EndKind::Crash, "crash: exception 0xC0000005"},
      {{false, 0, 0}, &planned, false, true, false, EndKind::Planned, "planned: the band's quit button"},
  };
  for (const auto& r : rows) {
    const EndReport report = classifyEnd(r.end, *r.words, r.hung, r.windows, r.displayGone);
    EXPECT_EQ(report.kind, r.kind) << r.cause;
    EXPECT_EQ(report.cause, r.cause);
  }
}

TEST(GuardRules, TheSixthUnplannedEndWithinTenMinutesIsNotRestarted) {
  const auto t0 = Clock::now();
  RestartBudget loop;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(loop.countEnd(t0 + seconds(i * 30))) << i;
  EXPECT_FALSE(loop.countEnd(t0 + minutes(3)));

  // Spread out, restarts go on for as long as it runs.
  RestartBudget spread;
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(spread.countEnd(t0 + minutes(3) * i)) << i;
  RestartBudget edge;  // the first end leaves the window exactly ten minutes later
  for (int i = 0; i < 5; ++i) edge.countEnd(t0 + seconds(i));
  EXPECT_TRUE(edge.countEnd(t0 + minutes(10)));
}

TEST(GuardRules, WordsOfTheTerminal) {
  TerminalWords w;
  const auto t = Clock::now();
  const struct { const char* line; bool sign; } lines[] = {
      {"alive", true}, {"hang 20", true}, {"branch DEMO 01", true}, {"band", true},
      {"crash signal 6 (SIGABRT)", true}, {"crash uncaught exception std::bad_alloc", true},
      {"frame quorval+0x1a2b", true}, {"dump pending-12.dmp", true}, {"alivex", false}, {"", false},
  };
  for (const auto& l : lines) EXPECT_EQ(takeLine(w, l.line, t), l.sign) << l.line;
  EXPECT_EQ(w.hangSeconds, 20);
  EXPECT_EQ(w.branch, "DEMO 01");
  EXPECT_TRUE(w.bandShown);
  EXPECT_EQ(w.crash, "signal 6 (SIGABRT), then uncaught exception std::bad_alloc");
  EXPECT_EQ(w.frames, std::vector<std::string>{"quorval+0x1a2b"});
  EXPECT_EQ(w.dumpFile, "pending-12.dmp");
  EXPECT_FALSE(w.plannedEnd);
  takeLine(w, "planned the update program was started", t);
  EXPECT_TRUE(w.plannedEnd);
  EXPECT_EQ(w.plannedReason, "the update program was started");
  EXPECT_FALSE(w.restartWanted);
  TerminalWords renewed;
  EXPECT_TRUE(takeLine(renewed, "restart the package manager replaced the program", t));
  // Planned (no record, no restart budget spent), and the guard starts the program anew.
  EXPECT_TRUE(renewed.plannedEnd && renewed.restartWanted);
  EXPECT_EQ(classifyEnd({}, renewed, false, false).kind, EndKind::Planned);

  const struct { const char* setting; int seconds; } hang[] = {
      {"", 60}, {"x", 60}, {"30", 30}, {" 45", 45}, {"1", kMinHangSeconds}, {"500", kMaxHangSeconds}, {"-3", kMinHangSeconds}};
  for (const auto& h : hang) EXPECT_EQ(hangSecondsFrom(h.setting), h.seconds) << h.setting;
}

// What the terminal passes its guard, read back; anything malformed is refused rather than
// watching a wrong process or pipe.
TEST(GuardCommandLine, AdoptedOrStartedTerminal) {
  struct Row {
    std::vector<std::string> args;
    bool valid;
    long pid = 0;
    std::uintptr_t pipe = 0, process = 0;
    std::string terminal = {};
    size_t terminalArgs = 0;
  };
  const Row rows[] = {
      {{"/opt/q/quorval"}, true, 0, 0, 0, "/opt/q/quorval", 0},
      {{"c:\\quorvalis\\quorval.exe", "x", "y"}, true, 0, 0, 0, "c:\\quorvalis\\quorval.exe", 2},
      {{"--adopt", "4711", "5", "0", "/opt/q/quorval"}, true, 4711, 5, 0, "/opt/q/quorval", 0},
      {{"--adopt", "4711", "300", "296", "q.exe", "a"}, true, 4711, 300, 296, "q.exe", 1},
      {{}, false},
      {{""}, false},
      {{"--adopt", "4711", "5", "0"}, false},            // no terminal
      {{"--adopt", "0", "5", "0", "q"}, false},          // no process 0
      {{"--adopt", "-3", "5", "0", "q"}, false},
      {{"--adopt", "47x", "5", "0", "q"}, false},        // trailing garbage
      {{"--adopt", "4711", "", "0", "q"}, false},
      {{"--adopt", "4711", "5", "99999999999999999999999", "q"}, false},  // out of range
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const auto setup = readCommandLine(row.args);
    ASSERT_EQ(setup.has_value(), row.valid);
    if (!row.valid) continue;
    EXPECT_EQ(setup->terminal, row.terminal);
    EXPECT_EQ(setup->args.size(), row.terminalArgs);
    EXPECT_EQ(setup->adopted.has_value(), row.pid != 0);
    if (setup->adopted) {
      EXPECT_EQ(setup->adopted->pid, row.pid);
      EXPECT_EQ(setup->adopted->pipe, row.pipe);
      EXPECT_EQ(setup->adopted->process, row.process);
    }
  }
}

TEST(CrashRecords, NewestTenKeptWithTheirDumpsAndReadBack) {
  QTemporaryDir dir;
  const fs::path folder(dir.path().toStdString());
  const auto now = std::chrono::system_clock::now();
  for (int i = 0; i < 13; ++i) {
    const fs::path dump = folder / ("pending-" + std::to_string(i) + ".dmp");
    std::ofstream(dump) << "dump";
    diag::CrashRecord r{now - std::chrono::hours(24) * (12 - i), "1.0 F107", "linux", i % 2 ? "kill" : "crash",
                        "crash: signal " + std::to_string(i), {"quorval+0x10", "libc.so.6+0x20"}, {}};
    EXPECT_FALSE(diag::writeRecord(folder, r, dump).empty());
    EXPECT_FALSE(fs::exists(dump));  // moved beside its record
  }
  int texts = 0, dumps = 0;
  for (const auto& f : fs::directory_iterator(folder / diag::kCrashFolder))
    (f.path().extension() == ".txt" ? texts : dumps)++;
  EXPECT_EQ(texts, 10);
  EXPECT_EQ(dumps, 10);
  const auto week = diag::recordsSince(folder, now - std::chrono::hours(24 * 7) - minutes(1));
  ASSERT_EQ(week.size(), 8u);  // records 5..12
  EXPECT_EQ(week.front().cause, "crash: signal 12");
  EXPECT_EQ(week.back().cause, "crash: signal 5");
  EXPECT_EQ(week.front().frames, (std::vector<std::string>{"quorval+0x10", "libc.so.6+0x20"}));
  EXPECT_EQ(week.front().version, "1.0 F107");
  EXPECT_FALSE(week.front().dumpFile.empty());
  diag::CrashRecord broken;
  EXPECT_FALSE(diag::parseRecord("kind: crash\r\ncause: x\r\n", &broken));  // no time
}

TEST(SupportLog, OneLinePerEventAndAFewMegabytesInAll) {
  QTemporaryDir dir;
  const fs::path folder(dir.path().toStdString());
  const std::string line = diag::formatLogLine(std::chrono::system_clock::now(), diag::Level::Warning, 42,
                                               "guard", "two\r\nlines");
  EXPECT_NE(line.find(" WARN  [42] guard: two  lines\r\n"), std::string::npos) << line;
  EXPECT_EQ(line.find('\n'), line.size() - 1);

  const std::string text(1000, 'x');
  for (int i = 0; i < 4000; ++i) ASSERT_TRUE(diag::appendLogLine(folder, diag::Level::Info, "test", text));
  std::uintmax_t total = 0;
  int files = 0;
  for (const auto& f : fs::directory_iterator(folder)) {
    total += fs::file_size(f.path());
    ++files;
    EXPECT_LE(fs::file_size(f.path()), diag::kLogLimitBytes + 2000);
  }
  EXPECT_EQ(files, 1 + diag::kOldLogs);
  EXPECT_LE(total, (1 + diag::kOldLogs) * (diag::kLogLimitBytes + 2000));
  EXPECT_FALSE(diag::appendLogLine(folder / "missing", diag::Level::Info, "test", "x"));

  const struct { const char* target; const char* name; } requests[] = {
      {"/quorvalis/DATA/searchc.cgi?B---00491711234567---1234", "searchc.cgi"},
      {"/quorvalis/DATA/demo/filial.ini", "filial.ini"},
      {"addclient.cgi?x/y", "addclient.cgi"}};
  for (const auto& r : requests) EXPECT_EQ(diag::requestName(r.target), r.name);
}

}  // namespace quorvalis::testing
