#include <gtest/gtest.h>

#include "coupons/coupon_record.h"
#include "qt_printers.h"

namespace quorvalis {
namespace {

const QDate kToday(2026, 12, 4);

TEST(CouponEnterCheck, FirstFailingFieldInOrder) {
  const struct {
    CouponFields fields;
    int failing;
  } cases[] = {
      {{"0171", "1234567", "1234"}, -1},
      {{"171", "1234567", "1234"}, 0},    // three digits
      {{"0271", "1234567", "1234"}, 0},   // not 01
      {{"01a1", "1234567", "1234"}, 0},   // digits only
      {{"0171", "12345", "1234"}, 1},     // five digits
      {{"0171", "123456", "1234"}, -1},   // six pass
      {{"0171", "12345x", "1234"}, 1},
      {{"0171", "1234567", "12a4"}, 2},   // a code with a letter
      {{"0171", "1234567", "123"}, 2},
      {{"0171", "1234567", "12345"}, 2},
      {{"", "", ""}, 0},                  // empty fields fail in order
      {{"0171", "", ""}, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(firstFailingCouponField(c.fields), c.failing)
        << c.fields[0].toStdString() << "/" << c.fields[1].toStdString() << "/" << c.fields[2].toStdString();
}

TEST(CouponRequests, NumberWithAndWithoutTheKeptZero) {
  const CouponFields f{"0171", "0234567", "0042"};
  EXPECT_EQ(lookupPath("B", f), "/quorvalis/DATA/searchc.cgi?B---00491710234567---0042");
  EXPECT_EQ(deletionPath("B", f, kToday), "/quorvalis/DATA/delcoupon.cgi?B---00491710234567---0042---04.12.2026");
  EXPECT_EQ(redemptionLogLine(f, "5", kToday), "04.12.2026;0042;0049171234567;5");
  EXPECT_EQ(redemptionLogLine({"0171", "1234567", "1234"}, "7,5", kToday), "04.12.2026;1234;00491711234567;7");
  const auto [prefix, number] = splitHandedOverNumber("00491711234567");
  EXPECT_EQ(prefix, "0171");
  EXPECT_EQ(number, "1234567");
}

TEST(CouponEvaluation, EveryOutcome) {
  using R = CouponEvaluation;
  const struct {
    QString reply;
    QString branch;
    R::Result result;
    const char* label1;
    const char* label2;
    int countdown;
  } cases[] = {
      {"1234;04.12.2026;Text;5;x;;-;", "Bar Nord", R::kValidHere, "Gutschein gefunden.", "Der Gutschein ist gültig.", 350},
      {"1234;03.12.2026;Text;5;x;;-;", "Bar Nord", R::kExpired, "Gutschein gefunden.",
       "Sorry - Der Gutschein war gültig bis 03.12.2026.", 200},
      {"1234;-;Text;5;x;;-;", "Bar Nord", R::kValidHere, "Gutschein gefunden.", "Der Gutschein ist gültig.", 350},
      {"1234;31.02.2027;Text;5;x;;-;", "Bar Nord", R::kExpired, "Gutschein gefunden.",
       "Sorry - Der Gutschein war gültig bis 31.02.2027.", 200},
      {"1234;04.12.2030;Text;5;x;;01.12.2026;", "Bar Nord", R::kRedeemed,
       "Der Gutschein wurde bereits am 01.12.2026 eingelöst !", "", 350},
      {"1234;04.12.2030;Text;5;x;;ja;02.12.2026", "Bar Nord", R::kRedeemed,
       "Der Gutschein wurde bereits am 02.12.2026 eingelöst !", "", 350},
      {"1234;04.12.2030;Text;5;x;;;", "Bar Nord", R::kValidHere, "Gutschein gefunden.", "Der Gutschein ist gültig.", 350},
      {"1234;04.12.2030;Text;5;x;Bar%20Nord;-;", "Bar Nord Demo", R::kValidHere, "Gutschein gefunden.",
       "Der Gutschein ist gültig.", 350},
      {"1234;04.12.2030;Text;5;x;Bar%20Nord;-;", "Bar Süd", R::kValidElsewhere, "Gutschein gefunden.",
       "Der Gutschein ist in dieser Filiale nicht gültig !!!", 350},
      {"1234;04.12.2030;Text;5;x;bar%20nord;-;", "Bar Nord", R::kValidElsewhere, "Gutschein gefunden.",
       "Der Gutschein ist in dieser Filiale nicht gültig !!!", 350},
      {"1234;04.12.2030;Text;5;x;ab;-;", "Bar Nord", R::kValidHere, "Gutschein gefunden.", "Der Gutschein ist gültig.", 350},
      {"9999;04.12.2030;Text;5;x;;-;", "Bar Nord", R::kNotFound, "Kein Gutschein gefunden !", "", 200},
      {"", "Bar Nord", R::kNotFound, "Kein Gutschein gefunden !", "", 200},
      {"-", "Bar Nord", R::kNotFound, "Kein Gutschein gefunden !", "", 200},
      {"1234;04.12.2030", "Bar Nord", R::kValidHere, "Gutschein gefunden.", "Der Gutschein ist gültig.", 350},
  };
  for (const auto& c : cases) {
    const CouponEvaluation e = evaluateCoupon(c.reply, "1234", kToday, c.branch);
    EXPECT_EQ(e.result, c.result) << c.reply.toStdString();
    EXPECT_EQ(e.label1, QString::fromUtf8(c.label1)) << c.reply.toStdString();
    EXPECT_EQ(e.label2, QString::fromUtf8(c.label2)) << c.reply.toStdString();
    EXPECT_EQ(e.countdownMs, c.countdown) << c.reply.toStdString();
  }
}

TEST(CouponEvaluation, ValidCouponShowsTextAndValue) {
  const CouponEvaluation e = evaluateCoupon(
      QString::fromUtf8("1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;-;"), "1234", kToday, "Bar");
  EXPECT_EQ(e.label4, QString::fromUtf8("Freigetränk an der Bar"));
  EXPECT_EQ(e.label5, "Der Gutschein hat einen Geldwert von - 5 EURO.");
  EXPECT_EQ(e.value, "5");
  // A short record: no stale or invented values, just empty texts.
  const CouponEvaluation shortOne = evaluateCoupon("1234;-", "1234", kToday, "Bar");
  EXPECT_EQ(shortOne.label4, "");
  EXPECT_EQ(shortOne.label5, "Der Gutschein hat einen Geldwert von -  EURO.");
  EXPECT_EQ(shortOne.value, "0");
  EXPECT_EQ(evaluateCoupon("1234;-;t;7,5", "1234", kToday, "Bar").value, "7");
}

}  // namespace
}  // namespace quorvalis
