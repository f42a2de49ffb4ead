// quorval-card: hosts the reader maker's 32-bit SCard32.DLL for the 64-bit terminal, which
// cannot load it. Started by the terminal with the library's path; answers its calls over
// standard input and output (protocol in platform/scard_abi.h). A driver that crashes takes
// only this process down.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/scard_abi.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
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

bool readAll(void* data, size_t size) { return std::fread(data, 1, size, stdin) == size; }

bool readNumber(uint32_t& value) {
  unsigned char b[4];
  if (!readAll(b, 4)) return false;
  value = b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24);
  return true;
}

void writeNumber(uint32_t value) {
  const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  std::fwrite(b, 1, 4, stdout);
}

// A length-prefixed field, NUL-terminated for the driver's C strings.
bool readField(std::vector<char>& field) {
  uint32_t length = 0;
  if (!readNumber(length) || length > quorvalis::scard::kMaxField) return false;
  field.assign(length + 1, '\0');
  return length == 0 || readAll(field.data(), length);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const ComandFn comand = argc > 1 ? loadEntryPoint(argv[1]) : nullptr;
  std::fputc(comand ? quorvalis::scard::kReady : quorvalis::scard::kMissing, stdout);
  std::fflush(stdout);
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
    std::fwrite(output.data(), 1, outLength, stdout);
    std::fflush(stdout);
  }
}
