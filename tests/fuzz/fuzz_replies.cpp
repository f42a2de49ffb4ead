// Every rule that reads a central server or gateway reply, with any reply text.
#include <fuzzer/FuzzedDataProvider.h>

#include "club/club_rules.h"
#include "common/text.h"
#include "coupons/coupon_record.h"
#include "guests/registration.h"
#include "server/branch_configuration.h"

using namespace quorvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int rule = in.ConsumeIntegralInRange(0, 7);
  const QString reply = fromCp1252(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
  switch (rule) {
    case 0: (void)parseBranchReply(reply); break;
    case 1: (void)decideOutcome(checkResultCode(reply, size % 2).code); break;
    case 2: (void)evaluateCoupon(reply, reply.left(4), QDate(2026, 12, 4), QStringLiteral("Bar Nord")); break;
    case 3: (void)parseClubReply(reply); break;
    case 4: (void)parseCredentials(reply); break;
    case 5: (void)checkVersionReply(reply, QStringLiteral("F106")); break;
    case 6: (void)unscramblePassword(reply); break;
    case 7: (void)splitHandedOverNumber(reply); (void)normaliseNumber(reply); break;
  }
  return 0;
}
