// quorval-card: hosts the reader maker's 32-bit SCard32.DLL for the 64-bit terminal, which
// cannot load it. Started by the terminal with the library's path and the terminal's process
// id; answers its calls over the pipes it was started with (protocol in platform/scard_abi.h),
// kept to itself: the driver's own output goes nowhere. A driver that crashes takes only this
// process down, without an error box; the helper ends with the terminal, even inside a hung call.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/scard_abi.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#endif

namespace {

using quorvalis::scard::ComandFn;

ComandFn loadEntryPoint(const char* path) {
#ifdef _WIN32
  HMODULE library = LoadLibraryA(path);
  return library ? reinterpret_cast<ComandFn>(
                       reinterpret_cast<void*>(GetProcAddress(library, quorvalis::scard::kEntryPoint)))
                 : nullptr;
#else
  void* library = dlopen(path, RTLD_NOW);
  return library ? reinterpret_cast<ComandFn>(dlsym(library, quorvalis::scard::kEntryPoint))
                 : nullptr;
#endif
}

FILE* protocolIn = stdin;
FILE* protocolOut = stdout;

// The pipes to the terminal on descriptors of their own; standard input, output and error, which
// the driver shares, point at the null device before it loads.
void keepProtocolToItself() {
#ifdef _WIN32
  protocolIn = _fdopen(_dup(_fileno(stdin)), "rb");
  protocolOut = _fdopen(_dup(_fileno(stdout)), "wb");
  const HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) SetStdHandle(which, nul);
  const int nulFd = _open("NUL", _O_RDWR | _O_BINARY);
  for (int fd = 0; fd <= 2; ++fd) _dup2(nulFd, fd);
#else
  protocolIn = fdopen(dup(fileno(stdin)), "rb");
  protocolOut = fdopen(dup(fileno(stdout)), "wb");
  const int nulFd = open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2; ++fd) dup2(nulFd, fd);
#endif
}

// Ends this process when the terminal has gone, whatever the driver is doing meanwhile.
#ifdef _WIN32
DWORD WINAPI endWithTerminal(void* terminal) {
  WaitForSingleObject(terminal, INFINITE);
  ExitProcess(0);
}
void watchTerminal(unsigned long pid) {
  if (HANDLE terminal = OpenProcess(SYNCHRONIZE, FALSE, pid))
    CloseHandle(CreateThread(nullptr, 0, endWithTerminal, terminal, 0, nullptr));
}
#else
void watchTerminal(unsigned long pid) {
  std::thread([pid] {
    while (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) usleep(100000);
    _exit(0);
  }).detach();
}
#endif

bool readAll(void* data, size_t size) { return std::fread(data, 1, size, protocolIn) == size; }

bool readNumber(uint32_t& value) {
  unsigned char b[4];
  if (!readAll(b, 4)) return false;
  value = b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24);
  return true;
}

void writeNumber(uint32_t value) {
  const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  std::fwrite(b, 1, 4, protocolOut);
}

// A length-prefixed field, NUL-terminated for the driver's C strings.
bool readField(std::vector<char>& field) {
  uint32_t length = 0;
  if (!readNumber(length) || length > quorvalis::scard::kMaxField) return false;
  field.assign(length + 1, '\0');
  return length == 0 || readAll(field.data(), length);
}

#ifdef _WIN32
// A crash ends the helper at once: the error mode alone does not keep every system's debugger
// away (Wine's waits on the screen for a click), and the terminal must see the helper gone.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS* crash) {
  TerminateProcess(GetCurrentProcess(), crash->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // A driver that crashes or lacks a library of its own puts up no box on the branch screen.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(endOnCrash);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (argc > 2) watchTerminal(std::strtoul(argv[2], nullptr, 10));
  keepProtocolToItself();
  if (!protocolIn || !protocolOut) return 1;
  const ComandFn comand = argc > 1 ? loadEntryPoint(argv[1]) : nullptr;
  std::fputc(comand ? quorvalis::scard::kReady : quorvalis::scard::kMissing, protocolOut);
  std::fflush(protocolOut);
  if (!comand) return 1;
  std::vector<char> command, input;
  for (;;) {
    uint32_t outLength = 0;
    if (!readField(command) || !readField(input) || !readNumber(outLength) ||
        outLength > quorvalis::scard::kMaxField)
      return 0;  // the terminal closed the pipe, or sent what it never sends
    std::vector<char> output(outLength + 1, ' ');
    output[outLength] = '\0';
    int32_t handle = 0, commandLength = 0;
    int32_t inputLength = static_cast<int32_t>(input.size() - 1);
    int32_t outputLength = static_cast<int32_t>(outLength);
    const int32_t result = comand(&handle, command.data(), &commandLength, input.data(),
                                  &inputLength, output.data(), &outputLength);
    writeNumber(static_cast<uint32_t>(result));
    writeNumber(outLength);
    std::fwrite(output.data(), 1, outLength, protocolOut);
    std::fflush(protocolOut);
  }
}
