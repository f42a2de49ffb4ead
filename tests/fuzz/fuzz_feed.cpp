// The feed reader with its clean-up chains and entry texts, on any document.
#include "ticker/ticker_rules.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ParsedFeed feed = parseFeed(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  (void)cleanTitle(feed.channelTitle);
  QString previous;
  for (int k = 0; k < feed.lines.size() && k < 30; k += 3) {
    previous = entryText(feed.lines, k, k % 2, previous);
    (void)entryDate(feed.lines, k);
  }
  return 0;
}
