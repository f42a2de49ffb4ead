// HTTP replies as they come off the socket: however the bytes are split, the reader comes to the
// same end, status and body as with all of them at once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <tuple>

#include "server/http_wire.h"

using namespace quorvalis;

// The state, status and body at the end, with the bytes fed in pieces of cut (0: all at once).
std::tuple<ReplyReader::State, int, QByteArray> read(const std::string& bytes, size_t cut) {
  ReplyReader reader(4096);
  ReplyReader::State state = ReplyReader::kMore;
  QByteArray body;
  const size_t step = cut ? cut : bytes.size() + 1;
  for (size_t i = 0; i < bytes.size() && state == ReplyReader::kMore; i += step) {
    state = reader.feed(QByteArrayView(bytes).sliced(static_cast<qsizetype>(i),
                                                     static_cast<qsizetype>(std::min(step, bytes.size() - i))));
    body += reader.takeBody();
  }
  if (state == ReplyReader::kMore) state = reader.finish();
  body += reader.takeBody();
  if (state != ReplyReader::kDone) return {state, 0, {}};
  return {state, reader.status(), body};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t cut = in.ConsumeIntegral<uint8_t>() % 17 + 1;
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  if (read(bytes, 0) != read(bytes, cut)) std::abort();
  return 0;
}
