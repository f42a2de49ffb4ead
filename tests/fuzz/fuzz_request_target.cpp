// The request-target encoding of any request text: the result must stand in a request line.
#include "common/text.h"
#include "server/request_target.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray target =
      encodeRequestTarget(fromCp1252(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))));
  for (char c : target) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) __builtin_trap();  // a control, blank or high byte got through
  }
  return 0;
}
