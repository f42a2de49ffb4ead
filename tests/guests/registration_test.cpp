#include <gtest/gtest.h>

#include <set>

#include "guests/entry_checks.h"
#include "guests/registration.h"
#include "qt_printers.h"

namespace quorvalis {
namespace {

GuestFields valid() { return {"Anna", "Muster-Meier", "0171", "1234567", "07", "03", "1990"}; }

TEST(TidyName, HyphensBlankRunsAndCapitals) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"hans-peter  müller", "Hans Peter Müller"},
      {"anna_lena", "Anna Lena"},
      {"a  b", "A B"},          // two blanks become one
      {"a   b", "A  B"},        // three become two
      {"a    b", "A  B"},       // four become two
      {"a     b", "A B"},       // five become one
      {"a      b", "A B"},      // six become one
      {" otto", " Otto"},
      {"o'neil", "O'neil"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(tidyName(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(CheckEntries, EachFieldsRule) {
  const struct {
    int field;
    const char* value;
    bool fails;
  } cases[] = {
      {2, "0171", false}, {2, "171", true},   {2, "01711", true}, {2, "0271", true},
      {3, "12345", true}, {3, "123456", false}, {4, "0", true},   {4, "31", false},
      {4, "32", true},    {4, "7", false},    {5, "13", true},    {5, "12", false},
      {5, "0", true},     {6, "2008", false}, {6, "2009", true},  {6, "1899", true},
      {6, "1900", false}, {0, "Al", true},    {0, "Al ", false},  {0, "", true},
      // Only letters, blanks, "-", "'" and "." in names; only digits in the number fields.
      {0, "José", false},  {1, "O'Neil-Brown", false}, {1, "St. Müller", false},
      {0, "Ann;a", true},  {1, "Mus---ter", true}, {1, "Mus--ter", false},    {1, "Max#1", true}, {1, "A&B=C", true},
      {3, "12345a", true}, {4, "7.", true},  {6, "19 90", true}, {2, "01-1", true},
  };
  for (const auto& c : cases) {
    GuestFields f = valid();
    f[static_cast<size_t>(c.field)] = QString::fromUtf8(c.value);
    const auto failed = checkEntries(f, 2026);
    for (int i = 0; i < kGuestFields; ++i)
      EXPECT_EQ(failed[static_cast<size_t>(i)], i == c.field && c.fails)
          << "field " << c.field << " = '" << c.value << "', checking field " << i;
  }
}

TEST(CheckEntries, NamesGetHyphensForBlanks) {
  GuestFields f = valid();
  f[0] = "Al ";
  f[1] = "Hans Peter Müller  ";
  checkEntries(f, 2026);
  EXPECT_EQ(f[0], "Al");
  EXPECT_EQ(f[1], QString::fromUtf8("Hans-Peter-Müller"));
}

TEST(GuestRecord, SevenFieldsWithPaddedBirthday) {
  GuestFields f = valid();
  f[3] = "0234567";
  f[4] = "7";
  f[5] = "3";
  padDayAndMonth(f);
  EXPECT_EQ(f[4], "07");
  EXPECT_EQ(f[5], "03");
  EXPECT_EQ(guestRecord(f, {"ABCDEF", false, true}, "12345", "Bar Nord", QDate(2026, 12, 4)),
            "00491710234567;Anna;Muster-Meier;07.03.1990;12345-Bar Nord;04.12.2026;ABCDEFWN");
  EXPECT_EQ(guestRecord(f, {"B", true, false}, "1", "X", QDate(2026, 1, 2)).section(';', 6), "BMN");
  EXPECT_EQ(duplicateCheckPath("B", f),
            "/quorvalis/DATA/search2.cgi?B---00491710234567---Anna---Muster-Meier---07.03.1990");
  EXPECT_EQ(creationPath("B", "r"), "/quorvalis/DATA/addclient.cgi?B---r");
}

TEST(DuplicateReply, ResultCodeAndOutcome) {
  const struct {
    QString reply;
    bool question;
    const char* code;
    CheckOutcome outcome;
  } cases[] = {
      {"0-0-0", false, "OK", CheckOutcome::kCreate},
      {"2-0-0", false, "--", CheckOutcome::kNumberKnown},
      {"1-3-1", true, "--", CheckOutcome::kNumberKnown},
      {"---", false, "---", CheckOutcome::kBlocked},
      {"0-3-0", false, "----", CheckOutcome::kAskName},
      {"0-3-0", true, "OK", CheckOutcome::kCreate},
      {"0-2-1", false, "-----", CheckOutcome::kNameAndBirthdayKnown},
      {"0-2-1", true, "OK", CheckOutcome::kCreate},
      {"0-0-1", true, "-----", CheckOutcome::kNameAndBirthdayKnown},
      {"", false, "", CheckOutcome::kNoDatabase},
      // Not the script's answer: no answer, neither "number known" nor a new guest.
      {"0-0-0\r\n", false, "OK", CheckOutcome::kCreate},
      {"<html>500 Internal Server Error</html>", false, "", CheckOutcome::kNoDatabase},
      {"abc", false, "", CheckOutcome::kNoDatabase},
      {"0-0-0-", false, "", CheckOutcome::kNoDatabase},
  };
  for (const auto& c : cases) {
    const CheckResult result = checkResultCode(c.reply, c.question);
    EXPECT_EQ(result.code, QString::fromLatin1(c.code)) << c.reply.toStdString();
    EXPECT_EQ(decideOutcome(result.code), c.outcome) << c.reply.toStdString();
  }
  EXPECT_EQ(checkResultCode("0-3-0", false).nameCount, "3");
}

TEST(WelcomeCoupon, ValidityAndCode) {
  EXPECT_EQ(couponValidity(QDate(2026, 12, 4)), QDate(2027, 12, 4));
  EXPECT_EQ(couponValidity(QDate(2028, 2, 29)), QDate(2029, 2, 28));
  EXPECT_EQ(couponValidity(QDate(2027, 2, 28)), QDate(2028, 2, 28));
  std::set<QChar> seen[4];
  int leadingZeros = 0;
  for (int i = 0; i < 2000; ++i) {
    const QString code = randomCouponCode();
    ASSERT_EQ(code.size(), 4);
    for (int p = 0; p < 4; ++p) {
      ASSERT_TRUE(code[p].isDigit()) << code.toStdString();
      seen[p].insert(code[p]);
    }
    leadingZeros += code.startsWith(u'0');
  }
  for (const auto& digits : seen) EXPECT_EQ(digits.size(), 10u);  // every digit in every place
  EXPECT_GT(leadingZeros, 100);
  EXPECT_EQ(couponBookingPath("B", "00491711234567", "0042", QDate(2027, 12, 4), "5",
                              QDate(2026, 12, 4)),
            "/quorvalis/DATA/addcoupon.cgi?B---00491711234567;0042;04.12.2027;"
            "Neuregistrierung;5;04.12.2026;-");
}

TEST(WelcomeSms, GatewayRequestAndSendingLog) {
  const GatewayAccount account = parseCredentials("acc-secret-http://sms.example/gate1/send?");
  EXPECT_EQ(account.id, "acc");
  EXPECT_EQ(account.password, "secret");
  EXPECT_EQ(account.address, "http://sms.example/gate1/send?");
  const QString request = gatewayRequest(
      account, "00491710234567", "Basic",
      QString::fromUtf8("Hallo <VN> <NN>, Ihr Gutschein <C> über <E> Euro"),
      {"Anna", "Muster-Meier", "5", "CCCC"});
  EXPECT_EQ(request, QString::fromUtf8(
                         "http://sms.example/gate1/send?receiver=00491710234567&sender=Basic"
                         "&msg=Hallo Anna Muster-Meier, Ihr Gutschein CCCC über 5 Euro"
                         "&id=acc&pw=secret&msgtype=t"));
  EXPECT_EQ(credentialsPath("demo", "Basic"), "/quorvalis/DATA/demo/smsauth.ini");
  EXPECT_EQ(credentialsPath("demo", "Bar Nord"), "/quorvalis/DATA/demo/smsauthpro.ini");
  EXPECT_EQ(sendingLogPath("B", QDate(2026, 12, 4), true, "5", "Z", "Basic"),
            "/quorvalis/DATA/smssending.cgi?B---04.12.2026;1;1;5;Z;Basic");
  EXPECT_EQ(sendingLogPath("B", QDate(2026, 12, 4), false, "7,5", "Z", "S").section("---", 1),
            "04.12.2026;1;0;7;Z;S");
}

}  // namespace
}  // namespace quorvalis
