// HTTP replies as they come off the socket: however the bytes are split, the reader comes to the
// same end, status and body as with all of them at once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "server/http_wire.h"

using namespace quorvalis;

namespace {

struct Outcome {
  ReplyReader::State state;
  int status;
  QByteArray body;
};

template <typename Feed>
Outcome read(Feed feed) {
  ReplyReader reader(4096);
  QByteArray body;
  ReplyReader::State state = feed(reader, body);
  if (state == ReplyReader::kMore) state = reader.finish();
  body += reader.takeBody();
  return {state, state == ReplyReader::kDone ? reader.status() : 0, body};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t cut = in.ConsumeIntegral<uint8_t>() % 17 + 1;
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const Outcome whole = read([&](ReplyReader& r, QByteArray&) { return r.feed(QByteArrayView(bytes)); });
  const Outcome pieces = read([&](ReplyReader& r, QByteArray& body) {
    ReplyReader::State s = ReplyReader::kMore;
    for (size_t i = 0; i < bytes.size() && s == ReplyReader::kMore; i += cut) {
      s = r.feed(QByteArrayView(bytes).sliced(static_cast<qsizetype>(i),
                                              static_cast<qsizetype>(std::min(cut, bytes.size() - i))));
      body += r.takeBody();
    }
    return s;
  });
  if (whole.state != pieces.state || whole.status != pieces.status ||
      (whole.state == ReplyReader::kDone && whole.body != pieces.body))
    std::abort();
  return 0;
}
