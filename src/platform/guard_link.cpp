#include "platform/guard_link.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <string>
#include <vector>
#include <exception>
#include <typeinfo>

#include "diagnostics/guard_rules.h"
#include "platform/program_folder.h"

#ifdef _WIN32
#include <windows.h>
#include <dbghelp.h>
#include <csignal>
#else
#include <csignal>
#include <cerrno>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>
#endif

namespace quorvalis::guardlink {

namespace {

#ifdef _WIN32
HANDLE g_pipe = nullptr;
wchar_t g_dumpFile[MAX_PATH * 2] = {};
#else
int g_pipe = -1;
#endif
QString g_resumeBranch;

// Everything below is called from crash handlers too: no allocation, no locks.
void writeRaw(const char* text, size_t length) {
#ifdef _WIN32
  if (!g_pipe) return;
  DWORD written = 0;
  while (length > 0 && WriteFile(g_pipe, text, static_cast<DWORD>(length), &written, nullptr) && written > 0) {
    text += written;
    length -= written;
  }
#else
  if (g_pipe < 0) return;
  while (length > 0) {
    const ssize_t n = ::write(g_pipe, text, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
#endif
}

// Builds one line in a fixed buffer: words and hexadecimal numbers.
struct Line {
  char text[512];
  size_t length = 0;
  Line& add(const char* s) {
    while (*s && length + 2 < sizeof text) text[length++] = *s++;
    return *this;
  }
  Line& hex(unsigned long long v) {
    char digits[20];
    int n = 0;
    do digits[n++] = "0123456789abcdef"[v & 15]; while ((v >>= 4) != 0);
    add("0x");
    while (n > 0 && length + 2 < sizeof text) text[length++] = digits[--n];
    return *this;
  }
  Line& dec(long v) {
    char digits[24];
    int n = 0;
    unsigned long u = v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do digits[n++] = static_cast<char>('0' + u % 10); while ((u /= 10) != 0);
    if (v < 0) add("-");
    while (n > 0 && length + 2 < sizeof text) text[length++] = digits[--n];
    return *this;
  }
  void send() {
    text[length++] = '\n';
    writeRaw(text, length);
  }
};

const char* baseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

void sayLine(const char* word, const QString& rest = {}) {
  Line line;
  line.add(word);
  if (!rest.isEmpty()) line.add(" ").add(rest.simplified().toUtf8().constData());
  line.send();
}

#ifdef _WIN32

// The frame's module and offset.
void addModuleOffset(Line& line, DWORD64 address) {
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(address), &module) &&
      GetModuleFileNameA(module, name, MAX_PATH) > 0) {
    line.add(baseName(name)).add("+").hex(address - reinterpret_cast<DWORD64>(module));
  } else {
    line.add("?+").hex(address);
  }
}

// Walks the faulting thread's stack from the exception's context by the unwind tables.
void sendFrames(const CONTEXT* start) {
  CONTEXT context = *start;
  for (int i = 0; i < 48 && context.Rip != 0; ++i) {
    Line line;
    addModuleOffset(line.add("frame "), context.Rip);
    line.send();
    DWORD64 imageBase = 0;
    RUNTIME_FUNCTION* function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (!function) {  // a leaf function: the return address is on top of the stack
      context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
      context.Rsp += 8;
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                     &establisher, nullptr);
  }
}

void writeDump(EXCEPTION_POINTERS* pointers) {
  if (!g_dumpFile[0]) return;
  HMODULE dbghelp = LoadLibraryW(L"dbghelp.dll");
  using WriteDump = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                  PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
  const auto write = dbghelp ? reinterpret_cast<WriteDump>(
                                   reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                             : nullptr;
  if (!write) return;
  HANDLE file = CreateFileW(g_dumpFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION info{GetCurrentThreadId(), pointers, FALSE};
  const BOOL ok = write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                        pointers ? &info : nullptr, nullptr, nullptr);
  CloseHandle(file);
  if (ok) Line().add("dump ").add(baseName(QString::fromWCharArray(g_dumpFile).toUtf8().constData())).send();
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  Line line;
  line.add("crash exception ").hex(record->ExceptionCode).add(" at ");
  addModuleOffset(line, reinterpret_cast<DWORD64>(record->ExceptionAddress));
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2)
    line.add(record->ExceptionInformation[0] == 8   ? " executing "
             : record->ExceptionInformation[0] ? " writing "
                                               : " reading ")
        .hex(record->ExceptionInformation[1]);
  line.send();
  sendFrames(pointers->ContextRecord);
  writeDump(pointers);
  TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

void endAfterAbort() {
  void* frames[48];
  const USHORT count = RtlCaptureStackBackTrace(1, 48, frames, nullptr);
  for (USHORT i = 0; i < count; ++i) {
    Line line;
    addModuleOffset(line.add("frame "), reinterpret_cast<DWORD64>(frames[i]));
    line.send();
  }
  writeDump(nullptr);
  TerminateProcess(GetCurrentProcess(), 3);
}

void abortHandler(int) {
  Line().add("crash abort").send();
  endAfterAbort();
}

void installCrashHandlers() {
  // No error box and no debugger on the branch screen: the guard restarts the terminal.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(crashFilter);
  std::signal(SIGABRT, abortHandler);
  const QString dump = QDir::toNativeSeparators(programFolder() + QStringLiteral("/crashes/pending-%1.dmp")
                                                                      .arg(GetCurrentProcessId()));
  if (dump.size() < MAX_PATH) dump.toWCharArray(g_dumpFile);
  QDir().mkpath(programFolder() + QStringLiteral("/crashes"));
}

// Logoff and shutdown end the terminal: never a restart for them.
class SessionEndFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_QUERYENDSESSION || (msg->message == WM_ENDSESSION && msg->wParam))
      plannedEnd(QStringLiteral("Windows session ends"));
    return false;
  }
};

#else

const char* signalText(int signal) {
  switch (signal) {
    case SIGSEGV: return "signal 11 (SIGSEGV)";
    case SIGBUS: return "signal 7 (SIGBUS)";
    case SIGFPE: return "signal 8 (SIGFPE)";
    case SIGILL: return "signal 4 (SIGILL)";
    case SIGABRT: return "signal 6 (SIGABRT)";
    case SIGTRAP: return "signal 5 (SIGTRAP)";
    default: return "signal";
  }
}

void crashHandler(int signal, siginfo_t* info, void* context) {
  Line line;
  line.add("crash ").add(signalText(signal));
  if (info->si_code > 0 && signal != SIGABRT) line.add(" at ").hex(reinterpret_cast<unsigned long long>(info->si_addr));
  if (info->si_code <= 0) line.add(" sent by process ").dec(info->si_pid);
  line.send();
  const auto pc = static_cast<unsigned long long>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
  void* frames[64];
  const int count = backtrace(frames, 64);
  // From the interrupted instruction on: the handler's own frames say nothing.
  int first = 0;
  for (int i = 0; i < count; ++i)
    if (reinterpret_cast<unsigned long long>(frames[i]) == pc) first = i;
  for (int i = first; i < count; ++i) {
    Line frame;
    frame.add("frame ");
    Dl_info where{};
    if (dladdr(frames[i], &where) && where.dli_fname)
      frame.add(baseName(where.dli_fname)).add("+").hex(reinterpret_cast<unsigned long long>(frames[i]) -
                                                       reinterpret_cast<unsigned long long>(where.dli_fbase));
    else
      frame.add("?+").hex(reinterpret_cast<unsigned long long>(frames[i]));
    frame.send();
  }
  // The default action ends the process with this signal, as the guard then sees it.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void installCrashHandlers() {
  static char alternateStack[64 * 1024];  // a stack overflow still gets its report
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  sigaltstack(&stack, nullptr);
  void* warmUp[2];
  backtrace(warmUp, 2);  // loads the unwinder now, not inside a handler
  struct sigaction action {};
  action.sa_sigaction = crashHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP}) sigaction(signal, &action, nullptr);
  // A guard that went away must not end the terminal through a broken pipe.
  ::signal(SIGPIPE, SIG_IGN);
}

#endif

// An exception that nothing caught: its type, then the abort's frames.
[[noreturn]] void onTerminate() {
  Line line;
  line.add("crash uncaught exception");
  if (const std::type_info* type = abi::__cxa_current_exception_type()) {
    int status = 0;
    char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    line.add(" ").add(status == 0 && name ? name : type->name());
    std::free(name);
  }
  line.send();
  std::abort();
}

}  // namespace

QString guardProgram() {
  const QString dir = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
#ifdef _WIN32
  return dir + QStringLiteral("/quorval-guard.exe");
#else
  const QString beside = dir + QStringLiteral("/quorval-guard");
  if (QFileInfo(beside).isExecutable()) return beside;
  return QDir::cleanPath(dir + QStringLiteral("/../libexec/quorvalis/quorval-guard"));
#endif
}

void handOverToGuard(int argc, char** argv) {
  if (std::getenv(guard::kPipeVariable)) return;
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] == '-') return;  // --selftest, --version and the like run on their own
  // This process stays the terminal and the guard adopts it, so the start costs no second load of
  // the program and its libraries.
#ifdef _WIN32
  wchar_t self[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return;
  std::wstring guardPath(self, length);
  guardPath.resize(guardPath.rfind(L'\\') + 1);
  guardPath += L"quorval-guard.exe";
  if (GetFileAttributesW(guardPath.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  // The guard gets the pipe's read end and a handle of this process; both are inheritable only
  // for as long as it takes to start it.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr, me = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 64 * 1024)) return;  // a crash's frames at once
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return;
  }
  const auto number = [](auto value) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(value)); };
  std::wstring command = L"\"" + guardPath + L"\" --adopt " + std::to_wstring(GetCurrentProcessId()) + L" " +
                         number(readEnd) + L" " + number(me) + L" \"" + std::wstring(self, length) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(guardPath.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(readEnd);
  CloseHandle(me);
  if (!started) {
    CloseHandle(writeEnd);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  _putenv_s(guard::kPipeVariable, std::to_string(reinterpret_cast<std::uintptr_t>(writeEnd)).c_str());
#else
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return;
  self[length] = 0;
  std::string dir(self, static_cast<size_t>(length));
  dir.resize(dir.rfind('/'));
  std::string guardPath;
  for (const std::string& candidate : {dir + "/quorval-guard", dir + "/../libexec/quorvalis/quorval-guard"})
    if (guardPath.empty() && access(candidate.c_str(), X_OK) == 0) guardPath = candidate;
  int fds[2];
  if (guardPath.empty() || pipe2(fds, O_CLOEXEC) != 0) return;
  // The started process becomes the guard, so a shell, the autostart entry or a launcher keep
  // the process they started; the terminal goes on in its child, with everything loaded.
  const pid_t parent = getpid();
  const pid_t terminal = fork();
  if (terminal < 0) {
    close(fds[0]);
    close(fds[1]);
    return;
  }
  if (terminal == 0) {
    close(fds[0]);
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // ends with its guard instead of running on without one
    if (getppid() != parent) _exit(0);
    setenv(guard::kPipeVariable, std::to_string(fds[1]).c_str(), 1);
    return;
  }
  close(fds[1]);
  fcntl(fds[0], F_SETFD, 0);
  const std::string pid = std::to_string(terminal), pipe = std::to_string(fds[0]);
  std::vector<char*> args{guardPath.data(), const_cast<char*>("--adopt"), const_cast<char*>(pid.c_str()),
                          const_cast<char*>(pipe.c_str()), const_cast<char*>("0"), self};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execv(guardPath.c_str(), args.data());
  // No guard after all: this process just waits for the terminal, which ends as it would alone.
  int status = 0;
  while (waitpid(terminal, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    signal(WTERMSIG(status), SIG_DFL);
    raise(WTERMSIG(status));
  }
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
#endif
}

void connect() {
  const char* value = std::getenv(guard::kPipeVariable);
  if (!value) return;
  if (const char* branch = std::getenv(guard::kBranchVariable)) g_resumeBranch = QString::fromUtf8(branch);
#ifdef _WIN32
  g_pipe = reinterpret_cast<HANDLE>(static_cast<quintptr>(std::strtoull(value, nullptr, 10)));
  // Programs this one starts get neither the pipe nor the idea that they are guarded.
  SetHandleInformation(g_pipe, HANDLE_FLAG_INHERIT, 0);
  _putenv_s(guard::kPipeVariable, "");
  _putenv_s(guard::kBranchVariable, "");
#else
  g_pipe = static_cast<int>(std::strtol(value, nullptr, 10));
  if (fcntl(g_pipe, F_SETFD, FD_CLOEXEC) != 0) g_pipe = -1;
  unsetenv(guard::kPipeVariable);
  unsetenv(guard::kBranchVariable);
#endif
  if (!guarded()) return;
  installCrashHandlers();
  std::set_terminate(onTerminate);
}

bool guarded() {
#ifdef _WIN32
  return g_pipe != nullptr;
#else
  return g_pipe >= 0;
#endif
}

void startHeartbeat(QObject* owner, int hangSeconds) {
  if (!guarded()) return;
  sayLine("hang", QString::number(hangSeconds));
  sayLine("alive");
  auto* beat = new QTimer(owner);
  QObject::connect(beat, &QTimer::timeout, [] { sayLine("alive"); });
  beat->start(guard::kBeatMs);
#ifdef _WIN32
  static SessionEndFilter sessionEnd;
  QCoreApplication::instance()->installNativeEventFilter(&sessionEnd);
#endif
}

void plannedEnd(const QString& reason) { sayLine("planned", reason); }
void restartWanted(const QString& reason) { sayLine("restart", reason); }
void loggedIn(const QString& branchId) { sayLine("branch", branchId); }
void bandShown() { sayLine("band"); }
QString resumeBranch() { return g_resumeBranch; }

}  // namespace quorvalis::guardlink
