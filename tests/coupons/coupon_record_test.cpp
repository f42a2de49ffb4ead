#include <gtest/gtest.h>

#include "coupons/coupon_record.h"
#include "qt_printers.h"

namespace quorvalis::testing {

const QDate kToday(2026, 12, 4);

TEST(CouponEnterCheck, FirstFailingFieldInOrder) {
  const struct { CouponFields fields; int failing; } cases[] = {
      {{"0171", "1234567", "1234"}, -1}, {{"171", "1234567", "1234"}, 0}, {{"0271", "1234567", "1234"}, 0},
      {{"01a1", "1234567", "1234"}, 0},  {{"0171", "12345", "1234"}, 1},  {{"0171", "123456", "1234"}, -1},
      {{"0171", "12345x", "1234"}, 1},   {{"0171", "1234567", "12a4"}, 2}, {{"0171", "1234567", "123"}, 2},
      {{"0171", "1234567", "12345"}, 2}, {{"", "", ""}, 0},               {{"0171", "", ""}, 1}};
  for (const auto& c : cases) EXPECT_EQ(firstFailingCouponField(c.fields), c.failing)
        << QStringList(c.fields.begin(), c.fields.end()).join('/').toStdString();
}

TEST(CouponEvaluation, EveryOutcome) {
  using R = CouponEvaluation;
  const char *found = "Gutschein gefunden.", *valid = "Der Gutschein ist gültig.",
             *elsewhere = "Der Gutschein ist in dieser Filiale nicht gültig !!!", *none = "Kein Gutschein gefunden !";
  const struct { QString reply; R::Result result; const char *label1, *label2; int countdown;
                 const char* branch = "Bar Nord"; } cases[] = {
      {"1234;04.12.2026;Text;5;x;;-;", R::kValidHere, found, valid, 350},  // valid on its last day
      {"1234;03.12.2026;Text;5;x;;-;", R::kExpired, found, "Sorry - Der Gutschein war gültig bis 03.12.2026.", 200},
      {"1234;31.02.2027;Text;5;x;;-;", R::kExpired, found, "Sorry - Der Gutschein war gültig bis 31.02.2027.", 200},
      {"1234;-;Text;5;x;;-;", R::kValidHere, found, valid, 350}, {"1234;04.12.2030", R::kValidHere, found, valid, 350},
      {"1234;04.12.2030;Text;5;x;;01.12.2026;", R::kRedeemed, "Der Gutschein wurde bereits am 01.12.2026 eingelöst !", "", 350},
      {"1234;04.12.2030;Text;5;x;;ja;02.12.2026", R::kRedeemed, "Der Gutschein wurde bereits am 02.12.2026 eingelöst !", "", 350},
      {"1234;04.12.2030;Text;5;x;Bar%20Nord;-;", R::kValidHere, found, valid, 350, "Bar Nord Demo"},
      {"1234;04.12.2030;Text;5;x;Bar%20Nord;-;", R::kValidElsewhere, found, elsewhere, 350, "Bar Süd"},
      {"1234;04.12.2030;Text;5;x;bar%20nord;-;", R::kValidElsewhere, found, elsewhere, 350},
      {"1234;04.12.2030;Text;5;x;ab;-;", R::kValidHere, found, valid, 350},
      {"1239;04.12.2030;Text;5;x;;-;", R::kNotFound, none, "", 200},
      {"", R::kNotFound, none, "", 200}, {"-", R::kNotFound, none, "", 200}};
  for (const auto& c : cases) {
    const R e = evaluateCoupon(c.reply, "1234", kToday, QString::fromUtf8(c.branch));
    EXPECT_EQ(std::tuple(e.result, e.label1, e.label2, e.countdownMs),
              std::tuple(c.result, QString::fromUtf8(c.label1), QString::fromUtf8(c.label2), c.countdown))
        << c.reply.toStdString();
  }
  // Value and text, even of a short record.
  const auto texts = [](const char* reply) {
    const CouponEvaluation e = evaluateCoupon(QString::fromUtf8(reply), "1234", kToday, "Bar");
    return e.label4 + "|" + e.label5 + "|" + e.value;
  };
  EXPECT_EQ(texts("1234;-;Freigetränk%20an%20der%20Bar;7,5"),
            QString::fromUtf8("Freigetränk an der Bar|Der Gutschein hat einen Geldwert von - 7,5 EURO.|7"));
  // No stale or invented values, just empty texts.
  EXPECT_EQ(texts("1234;-"), "|Der Gutschein hat einen Geldwert von -  EURO.|0");
  EXPECT_EQ(redemptionLogLine({"0171", "1234567", "1234"}, "7,5", kToday), "04.12.2026;1234;00491711234567;7");
}

}  // namespace quorvalis::testing
