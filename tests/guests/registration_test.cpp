#include <gtest/gtest.h>

#include <set>

#include "guests/registration.h"
#include "qt_printers.h"

namespace quorvalis::testing {

// Runs of 2 to 6 blanks: one pass each for 2, 3 and 4, none looking at its own result.
TEST(GuestEntry, TidyNameAndEachFieldsRule) {
  const struct { const char *in, *out; } cases[] = {
      {"hans-peter  müller", "Hans Peter Müller"}, {"anna_lena", "Anna Lena"}, {" otto", " Otto"},
      {"o'neil", "O'neil"}, {"", ""}, {"a  b", "A B"}, {"a   b", "A  B"}, {"a    b", "A  B"},
      {"a     b", "A B"}, {"a      b", "A B"}};
  for (const auto& c : cases) EXPECT_EQ(tidyName(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;

  // after: the name as written back, blanks turned into hyphens and none left at the end.
  const struct { int field; const char *value; bool fails; const char* after = nullptr; } fields[] = {
      {2, "0171", false}, {2, "171", true},      {2, "01711", true},  {2, "0271", true},   {3, "12345", true},
      {3, "123456", false}, {4, "0", true},      {4, "31", false},    {4, "32", true},     {4, "7", false},
      {5, "13", true},      {5, "12", false},    {5, "0", true},      {6, "2008", false},  {6, "2009", true},
      {6, "1899", true},    {6, "1900", false},  {0, "Al", true},     {0, "Al ", false, "Al"}, {0, "", true},
      {1, "Hans Peter Müller  ", false, "Hans-Peter-Müller"},
      // Only letters, blanks, "-", "'" and "." in names; only digits in the number fields.
      {0, "José", false},   {1, "O'Neil-Brown", false}, {1, "St. Müller", false}, {0, "Ann;a", true},
      {1, "Mus---ter", true}, {1, "Mus--ter", false}, {1, "Max#1", true},  {1, "A&B=C", true},
      {3, "12345a", true},  {4, "7.", true},       {6, "19 90", true},  {2, "01-1", true}};
  for (const auto& c : fields) {
    GuestFields f{"Anna", "Muster-Meier", "0171", "1234567", "07", "03", "1990"};
    f[static_cast<size_t>(c.field)] = QString::fromUtf8(c.value);
    const auto failed = checkEntries(f, 2026);
    for (int i = 0; i < kGuestFields; ++i) EXPECT_EQ(failed[static_cast<size_t>(i)], i == c.field && c.fails)
        << "field " << c.field << " = '" << c.value << "', checking field " << i;
    if (c.after) { EXPECT_EQ(f[static_cast<size_t>(c.field)], QString::fromUtf8(c.after)); }
  }
}

TEST(DuplicateReply, ResultCodeAndOutcome) {
  using O = CheckOutcome;
  const struct { QString reply; bool question; const char* code; CheckOutcome outcome; } cases[] = {
      {"0-0-0", false, "OK", O::kCreate},   {"2-0-0", false, "--", O::kNumberKnown},
      {"1-3-1", true, "--", O::kNumberKnown}, {"---", false, "---", O::kBlocked},
      {"0-3-0", false, "----", O::kAskName},  {"0-3-0", true, "OK", O::kCreate},
      {"0-2-1", false, "-----", O::kNameAndBirthdayKnown}, {"0-2-1", true, "OK", O::kCreate},
      {"0-0-1", true, "-----", O::kNameAndBirthdayKnown},  {"", false, "", O::kNoDatabase},
      // Not the script's answer: no answer, neither "number known" nor a new guest.
      {"0-0-0\r\n", false, "OK", O::kCreate},     {"abc", false, "", O::kNoDatabase},
      {"<html>500 Internal Server Error</html>", false, "", O::kNoDatabase}, {"0-0-0-", false, "", O::kNoDatabase}};
  for (const auto& c : cases) {
    const CheckResult result = checkResultCode(c.reply, c.question);
    EXPECT_EQ(result.code, QString::fromLatin1(c.code)) << c.reply.toStdString();
    EXPECT_EQ(decideOutcome(result.code), c.outcome) << c.reply.toStdString();
  }
}

TEST(WelcomeCoupon, ValidForAYearWithARandomCode) {
  EXPECT_EQ(couponValidity(QDate(2026, 12, 4)), QDate(2027, 12, 4));
  EXPECT_EQ(couponValidity(QDate(2028, 2, 29)), QDate(2029, 2, 28));
  EXPECT_EQ(couponValidity(QDate(2027, 2, 28)), QDate(2028, 2, 28));
  std::set<char> seen[4];
  for (int i = 0; i < 2000; ++i) {
    const std::string code = randomCouponCode().toStdString();
    ASSERT_TRUE(code.size() == 4 && code.find_first_not_of("0123456789") == std::string::npos) << code;
    for (int p = 0; p < 4; ++p) seen[p].insert(code[static_cast<size_t>(p)]);
  }
  for (const auto& digits : seen) EXPECT_EQ(digits.size(), 10u);  // a leading 0 too
}

}  // namespace quorvalis::testing
