// Reading a club card: any card image and any reader status reply.
#include "club/club_card.h"
#include "fakes.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::MemoryCardReader reader;
  for (size_t i = 0; i < size && i < reader.memory.size(); ++i) reader.memory[i] = QChar(data[i]);
  if (size > 256) reader.status = QString::fromLatin1(reinterpret_cast<const char*>(data) + 256,
                                                      static_cast<qsizetype>(std::min<size_t>(size - 256, 7)));
  const ClubCard card = readClubCard(reader);
  (void)isBlankCard(reader);
  (void)cardStatus(reader);
  if (card.mobile.size() > 99) __builtin_trap();  // the length field has two digits
  return 0;
}
