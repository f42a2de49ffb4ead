#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "diagnostics/support_log.h"
#include "platform/guard_process.h"

namespace quorvalis::guard {

namespace {

volatile sig_atomic_t g_stopSignal = 0;
void onStop(int signal) { g_stopSignal = signal; }

bool socketAnswers(const std::string& path, bool abstract) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // cannot tell: assume it is there
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;
  std::strncpy(address.sun_path + offset, path.c_str(), sizeof address.sun_path - 1 - offset);
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  ::close(fd);
  return answers;
}

// The session's display went away: the terminal ended with the logoff, not by a fault.
bool displayGone() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && std::strcmp(platform, "offscreen") == 0) return false;
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string socket = wayland[0] == '/' ? wayland : std::string(runtime ? runtime : "") + "/" + wayland;
    struct stat st{};
    return ::stat(socket.c_str(), &st) != 0;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || display[0] != ':') return false;  // a remote display: cannot tell
  const std::string socket = "/tmp/.X11-unix/X" + std::string(display + 1).substr(0, std::strcspn(display + 1, "."));
  return !socketAnswers(socket, false) && !socketAnswers(socket, true);
}

struct Child {
  pid_t pid = -1;
  int pipe = -1;
};

Child startTerminal(const GuardSetup& setup, const std::string& branch) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  const pid_t guardPid = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The terminal: default signal actions, and it ends with its guard instead of running on
    // without one.
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != guardPid) ::_exit(0);
    const int fd = ::dup(fds[1]);  // without close-on-exec: the terminal takes it
    ::setenv(kPipeVariable, std::to_string(fd).c_str(), 1);
    if (!branch.empty()) ::setenv(kBranchVariable, branch.c_str(), 1);
    else ::unsetenv(kBranchVariable);
    std::vector<char*> argv{const_cast<char*>(setup.terminal.c_str())};
    for (const auto& a : setup.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(setup.terminal.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return {};
  }
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  return {pid, fds[0]};
}

// The terminal that forked this guard's process before it became the guard: its child already.
Child adopt(const AdoptedTerminal& terminal) {
  const int pipe = static_cast<int>(terminal.pipe);
  // Programs the guard starts later do not get it.
  ::fcntl(pipe, F_SETFD, FD_CLOEXEC);
  ::fcntl(pipe, F_SETFL, O_NONBLOCK);
  return {static_cast<pid_t>(terminal.pid), pipe};
}

// Reads what is there; false at the end of the pipe.
bool readWords(int pipe, std::string& pending, TerminalWords& words) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipe, buffer, sizeof buffer);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    pending.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
      takeLine(words, std::string_view(pending).substr(start, end - start), Clock::now());
    pending.erase(0, start);
    if (pending.size() > 65536) pending.clear();  // no line is that long
  }
}

// This guard's program, read before a package manager can replace it.
std::string ownProgram() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// The package manager replaced the programs: the guard starts itself anew from its file, and
// that one the new terminal, with the branch it had. Returns only when that failed.
void startAnew(const GuardSetup& setup, const std::string& self, const std::string& branch) {
  diag::appendLogLine(setup.programFolder, diag::Level::Info, "guard", "starts anew with the new program");
  if (!branch.empty()) ::setenv(kBranchVariable, branch.c_str(), 1);
  std::vector<char*> argv{const_cast<char*>(self.c_str()), const_cast<char*>(setup.terminal.c_str())};
  for (const auto& a : setup.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (!self.empty()) ::execv(self.c_str(), argv.data());
  ::unsetenv(kBranchVariable);
  diag::appendLogLine(setup.programFolder, diag::Level::Error, "guard",
                      std::string("could not start anew: ") + std::strerror(errno));
}

void showGivingUp(const GuardSetup& setup) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::unsetenv(kPipeVariable);
    ::execl(setup.terminal.c_str(), setup.terminal.c_str(), "--restarts-stopped", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
}

}  // namespace

int runGuard(const GuardSetup& setup) {
  struct sigaction stop{};
  stop.sa_handler = onStop;  // without SA_RESTART: the wait below wakes up
  sigemptyset(&stop.sa_mask);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &stop, nullptr);

  RestartBudget budget;
  // A guard started anew for a new program keeps the branch its terminal had.
  std::string branch;
  if (const char* resumed = std::getenv(kBranchVariable)) branch = resumed;
  ::unsetenv(kBranchVariable);
  const std::string self = ownProgram();
  bool first = true;
  diag::appendLogLine(setup.programFolder, diag::Level::Info, "guard",
                      "guard " + setup.version + " watches " + setup.terminal.filename().string());
  for (;;) {
    // The terminal that started this guard is watched first; every later one is started here.
    const Child child = first && setup.adopted ? adopt(*setup.adopted) : startTerminal(setup, branch);
    first = false;
    if (child.pid < 0) {
      diag::appendLogLine(setup.programFolder, diag::Level::Error, "guard",
                          std::string("the terminal could not be started: ") + std::strerror(errno));
      return 1;
    }
    TerminalWords words;
    words.lastSign = Clock::now();
    std::string pending;
    bool open = true, hungKilled = false, forwarded = false;
    Clock::time_point killAt{};
    int status = 0;
    for (;;) {
      pollfd wait{child.pipe, POLLIN, 0};
      if (open) ::poll(&wait, 1, kBeatMs);
      else std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (open && !readWords(child.pipe, pending, words)) open = false;
      const pid_t ended = ::waitpid(child.pid, &status, WNOHANG);
      if (ended == child.pid) {
        readWords(child.pipe, pending, words);  // what it said last
        break;
      }
      const auto now = Clock::now();
      if (g_stopSignal && !forwarded) {
        ::kill(child.pid, g_stopSignal);
        forwarded = true;
        killAt = now + std::chrono::seconds(10);
      }
      if (!hungKilled && !forwarded && !words.plannedEnd && now - words.lastSign > std::chrono::seconds(words.hangSeconds)) {
        // The abort's handler reports where the thread stands; a thread that cannot even take
        // that is killed a moment later.
        hungKilled = true;
        ::kill(child.pid, SIGABRT);
        killAt = now + std::chrono::seconds(3);
      }
      if (words.plannedEnd && killAt == Clock::time_point{}) killAt = now + std::chrono::seconds(15);
      if (killAt != Clock::time_point{} && now > killAt) ::kill(child.pid, SIGKILL);
    }
    ::close(child.pipe);
    if (!words.branch.empty()) branch = words.branch;
    ProcessEnd end;
    end.signaled = WIFSIGNALED(status);
    end.signal = end.signaled ? WTERMSIG(status) : 0;
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    const bool gone = !end.signaled && end.exitCode != 0 && displayGone();
    const EndDecision d = decideAfterEnd(setup, budget, end, words, hungKilled, g_stopSignal != 0, false, gone,
                                         Clock::now(), {});
    if (d.report.kind == EndKind::Planned && words.restartWanted) {
      startAnew(setup, self, branch);
      continue;  // this guard then starts the new terminal itself
    }
    if (d.report.kind == EndKind::Planned) return end.exitCode;
    if (d.gaveUp) showGivingUp(setup);
    if (!d.restart) return 1;
  }
}

}  // namespace quorvalis::guard
