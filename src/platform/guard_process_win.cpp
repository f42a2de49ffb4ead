// dbghelp.h needs windows.h first.
#include <windows.h>

#include <dbghelp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "diagnostics/crash_records.h"
#include "diagnostics/support_log.h"
#include "platform/guard_process.h"

namespace quorvalis::guard {

namespace {

namespace fs = std::filesystem;

// The code the guard ends a terminal with, for whoever reads it elsewhere; why it ended it (a
// hang, a planned end that lingered) the guard knows itself.
constexpr UINT kEndedByGuard = 0xCF;

// How long a terminal that said it ends may take before it is ended.
constexpr std::chrono::seconds kPlannedEndGrace{15};

std::string errorText(DWORD error) { return "Windows error " + std::to_string(error); }

// Arguments arrive in the ANSI code page, as the C runtime made them.
std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// One argument as CommandLineToArgvW and the C runtime read it back: in quotes, a quote escaped,
// and the backslashes before a quote (the closing one too) doubled.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!line.empty()) line += L' ';
  line += L'"';
  size_t slashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    line.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    line += c;
  }
  line.append(slashes * 2, L'\\');
  line += L'"';
}

// A system DLL by its full path: the program folder is writable by the branch's user, and a DLL
// of the same name put there must not be loaded instead.
HMODULE loadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

// Shutdown ends the terminal without a word at times: never a restart then. user32 is loaded
// only once a terminal ended, so the waiting guard does not carry it.
bool windowsShutsDown() {
  static HMODULE user32 = loadSystemLibrary(L"user32.dll");
  using Metrics = int(WINAPI*)(int);
  const auto metrics = user32 ? reinterpret_cast<Metrics>(reinterpret_cast<void*>(
                                    GetProcAddress(user32, "GetSystemMetrics")))
                              : nullptr;
  return metrics && metrics(SM_SHUTTINGDOWN) != 0;
}

fs::path pendingDump(const GuardSetup& setup, DWORD pid) {
  return setup.programFolder / diag::kCrashFolder / ("pending-" + std::to_string(pid) + ".dmp");
}

// The hung terminal's threads where they stand, written from outside as the terminal's own
// filter writes a crash. dbghelp is loaded for this and let go again.
void writeHangDump(const GuardSetup& setup, HANDLE process, DWORD pid) {
  HMODULE dbghelp = loadSystemLibrary(L"dbghelp.dll");
  using WriteDump =
      BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                    PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
  const auto write = dbghelp ? reinterpret_cast<WriteDump>(reinterpret_cast<void*>(
                                   GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                             : nullptr;
  bool written = false;
  const fs::path file = pendingDump(setup, pid);
  if (write) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    HANDLE out = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      written = write(process, pid, out, MiniDumpNormal, nullptr, nullptr, nullptr);
      CloseHandle(out);
      if (!written) DeleteFileW(file.wstring().c_str());
    }
  }
  const DWORD error = GetLastError();
  if (dbghelp) FreeLibrary(dbghelp);
  if (!written)
    diag::appendLogLine(
        setup.programFolder, diag::Level::Warning, "guard",
        "no dump of the hung terminal: " + (write ? errorText(error) : std::string("no dbghelp")));
}

// Sets the variable for the terminal about to start, or removes it (value null).
void setVariable(const char* name, const std::string* value) {
  SetEnvironmentVariableW(widen(name).c_str(), value ? widen(*value).c_str() : nullptr);
}

struct Child {
  HANDLE process = nullptr;
  HANDLE pipe = nullptr;  // the read end
  DWORD pid = 0;
};

Child startTerminal(const GuardSetup& setup, const std::string& branch) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  // Room for a crash's frames at once: the terminal's filter must not wait on the guard.
  if (!CreatePipe(&readEnd, &writeEnd, &attributes, 64 * 1024)) return {};
  // Only the write end goes to the terminal; it finds it by its number.
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  const std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(writeEnd));
  setVariable(kPipeVariable, &handle);
  setVariable(kBranchVariable, branch.empty() ? nullptr : &branch);
  const std::wstring program = setup.terminal.wstring();
  std::wstring line;
  appendQuoted(line, program);
  for (const auto& arg : setup.args) appendQuoted(line, widen(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &info);
  const DWORD error = GetLastError();
  // Whatever the guard starts later (the giving-up message) is no guarded terminal.
  setVariable(kPipeVariable, nullptr);
  setVariable(kBranchVariable, nullptr);
  CloseHandle(writeEnd);  // the terminal's copy is the only one: its end closes the pipe
  if (!started) {
    CloseHandle(readEnd);
    SetLastError(error);
    return {};
  }
  CloseHandle(info.hThread);
  return {info.hProcess, readEnd, info.dwProcessId};
}

// The terminal that started this guard beside itself, with the handles it gave it.
Child adopt(const AdoptedTerminal& terminal) {
  const auto pipe = reinterpret_cast<HANDLE>(terminal.pipe);
  const auto process = reinterpret_cast<HANDLE>(terminal.process);
  // Terminals the guard starts later get handles of their own only.
  SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(process, HANDLE_FLAG_INHERIT, 0);
  return {process, pipe, static_cast<DWORD>(terminal.pid)};
}

// Takes what the pipe holds without waiting for more; false once the terminal's end is closed
// and nothing is left.
bool readWords(HANDLE pipe, std::string& pending, TerminalWords& words) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) ||
        got == 0)
      return false;
    pending.append(buffer, got);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
      takeLine(words, std::string_view(pending).substr(start, end - start), Clock::now());
    pending.erase(0, start);
    if (pending.size() > 65536) pending.clear();  // no line is that long
  }
}

// The dump that goes with this end: the one the terminal named (a bare name in its crashes
// folder, nothing else), else one under its process number, written by the guard for a hang or
// by the terminal's filter before it could name it.
fs::path dumpOf(const GuardSetup& setup, const TerminalWords& words, DWORD pid) {
  std::error_code ec;
  const fs::path named(words.dumpFile);
  if (!words.dumpFile.empty() && named.filename() == named && named != ".." && named != ".")
    return setup.programFolder / diag::kCrashFolder / named;
  const fs::path pending = pendingDump(setup, pid);
  return fs::exists(pending, ec) ? pending : fs::path();
}

// The terminal itself tells the staff, with its own message box, and the guard waits for them.
void showGivingUp(const GuardSetup& setup) {
  const std::wstring program = setup.terminal.wstring();
  std::wstring line;
  appendQuoted(line, program);
  line += L" --restarts-stopped";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return;
  CloseHandle(info.hThread);
  WaitForSingleObject(info.hProcess, INFINITE);
  CloseHandle(info.hProcess);
}

}  // namespace

int runGuard(const GuardSetup& setup) {
  // No error box of the guard's own on the branch screen.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  RestartBudget budget;
  std::string branch;
  bool first = true;
  diag::appendLogLine(setup.programFolder, diag::Level::Info, "guard",
                      "guard " + setup.version + " watches " + setup.terminal.filename().string());
  for (;;) {
    // The terminal that started this guard is watched first; every later one is started here.
    const Child child = first && setup.adopted ? adopt(*setup.adopted) : startTerminal(setup, branch);
    first = false;
    if (!child.process) {
      diag::appendLogLine(setup.programFolder, diag::Level::Error, "guard",
                          "the terminal could not be started: " + errorText(GetLastError()));
      return 1;
    }
    TerminalWords words;
    words.lastSign = Clock::now();
    std::string pending;
    bool open = true, hungKilled = false;
    Clock::time_point killAt{};
    for (;;) {
      // Wakes at once when the terminal ends; lines wait in the pipe meanwhile.
      const DWORD waited = WaitForSingleObject(child.process, kBeatMs);
      if (open && !readWords(child.pipe, pending, words)) open = false;
      if (waited == WAIT_OBJECT_0) break;
      if (waited != WAIT_TIMEOUT) Sleep(kBeatMs);
      const auto now = Clock::now();
      if (!hungKilled && !words.plannedEnd &&
          now - words.lastSign > std::chrono::seconds(words.hangSeconds)) {
        hungKilled = true;
        writeHangDump(setup, child.process, child.pid);
        TerminateProcess(child.process, kEndedByGuard);
      }
      if (words.plannedEnd && killAt == Clock::time_point{}) killAt = now + kPlannedEndGrace;
      if (killAt != Clock::time_point{} && now > killAt)
        TerminateProcess(child.process, kEndedByGuard);
    }
    DWORD code = 0;
    GetExitCodeProcess(child.process, &code);
    CloseHandle(child.pipe);
    CloseHandle(child.process);
    if (!words.branch.empty()) branch = words.branch;
    ProcessEnd end;
    end.exitCode = static_cast<int>(code);
    if (!words.plannedEnd && windowsShutsDown()) {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08lX", code);
      words.plannedEnd = true;
      words.plannedReason = std::string("Windows shuts down, exit code ") + text;
    }
    const EndDecision d = decideAfterEnd(setup, budget, end, words, hungKilled, false, true, false,
                                         Clock::now(), dumpOf(setup, words, child.pid));
    if (d.report.kind == EndKind::Planned && words.restartWanted) continue;  // the new program
    if (d.report.kind == EndKind::Planned) return end.exitCode;
    if (d.gaveUp) showGivingUp(setup);
    if (!d.restart) return 1;
  }
}

}  // namespace quorvalis::guard
