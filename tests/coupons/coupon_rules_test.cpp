#include <gtest/gtest.h>

#include "coupons/coupon_record.h"
#include "coupons/print_receipt.h"
#include "coupons/receipts.h"
#include "fakes.h"

namespace quorvalis::testing {

const QDate kToday(2026, 12, 4);

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

static ReceiptValues values(const QString& number = "12") {
  return {"5", "0171", "1234567", "12345", "Bar Nord", "04.12.2026", "14:30:05", number};
}

// A layout as one text: "|" between lines, "=" and "~" for the long and the short rule, "*n"
// for n empty lines. The list starts with the entry the print skips.
static QStringList layout(const QString& text) {
  QStringList lines{QString()};
  for (const QString& piece : text.split(u'|')) {
    if (piece.startsWith(u'*')) lines << QStringList(piece.mid(1).toInt(), QString());
    else lines << (piece == u"=" ? QString(104, u'-') : piece == u"~" ? QString(58, u'-') : piece);
  }
  return lines;
}

const QString kHead = "quorvalis - Tarvendel Coupons - System  -  ||=||";
const QString kGuest = "Name : ___________________________  Handynummer :  0171 1234567||=|*4|";
const QString kSignature =
    "|*9|=|*4| ____________________________________ | Name Servicepersonal|||   A   B   C   D   E   F   |";

TEST(Receipts, EveryLayoutLineForLine) {
  const QString top = kHead + " - Quittung -" + QString(88, u' ') + "No.12||=||über :    5,-  EURO ||=||"
                      "von : ___________________ 12345  Bar Nord||=|für:|||" + kGuest;
  EXPECT_EQ(BuildPlainReceipt(values()),
            layout(top + "____ 04.12.2026 ____          dankend erhalten ____________________" + kSignature));
  EXPECT_EQ(BuildNoteReceipt(values()),
            layout(top + "___ 04.12.2026 - 14:30:05 ___       dankend erhalten ____________________|*7|=|"
                         "Interner Vermerk - Gutschein verwendet für||  O - Verzehr|  O - Mitnahme|"
                         "  O - Dienstleistung|  O - Einwurf______Gerät______________________No.______________|*3|"
                         " _____________________________________________________ |"
                         " Servicepersonal - Blockschrift - Unterschrift|||   A   B   C   D   E   F   "));
  EXPECT_EQ(BuildConfirmation(values()),
            layout(kHead + " - Bestätigung über das Einlösen eines SMS - Gutscheines" + QString(29, u' ') +
                   "No.12||=|Eingelöst in ||___________________ 12345  Bar Nord||=|Eingelöst von:|||" +
                   kGuest + "____ 04.12.2026 - 14:30:05 ____          bestätigt ____________________" + kSignature));
  const auto slipTop = [](const char* value, const char* name) {
    return QString("quorvalis  - System  - |Tarvendel Coupons|~| - Quittung -     No.12|~|") + value +
           "5,-  EURO |~||von: 12345  Bar Nord||~|für Handynr. :   0171 1234567|||" + name +
           "|~|*3| ________________________________|04.12.2026    dankend erhalten    |~|";
  };
  const QString end = "|||   A   B   C   D   E   F   |*8|.";
  EXPECT_EQ(BuildPlainSlip(values()), layout(slipTop("über:    ", "Name: ____________________________ ") +
                                             "*3| ________________________________| Name Servicepersonal" + end));
  EXPECT_EQ(BuildNoteSlip(values()),
            layout(slipTop("über:     ", "Name : ___________________________ ") +
                   "*9|~|Interner Vermerk - Gutschein verwendet für||  O - Verzehr|  O - Mitnahme|"
                   "  O - Dienstleistung|  O - Einwurf|        Gerät_____________No._________|*3|"
                   " __________________________________| Servicepersonal Name/Unterschrift" + end));
  // The number only when above zero.
  for (const char* counter : {"0", "", "abc", "-3"})
    EXPECT_EQ(BuildPlainReceipt(values(counter))[5] + BuildPlainSlip(values(counter))[4] +
                  BuildConfirmation(values(counter))[5],
              " - Quittung -  - Quittung -  - Bestätigung über das Einlösen eines SMS - Gutscheines") << counter;
  EXPECT_EQ(BuildPlainSlip(values("007"))[4], " - Quittung -     No.007");  // as stored
}

// 2 mm a character, 5 mm a line: a 20 mm line holds ten characters. Receipts go full page or narrow.
TEST(Printing, WrapBreaksAfterTheLastSeparatorThatFitsAndReceiptsFitThePrinter) {
  RecordingPrinterSystem printers;
  ScriptedDialogs dialogs;
  const auto wrap = [&](const QString& text, double width) {
    auto doc = printers.newDocument("t");
    PrintWrappedText(*doc, text, 10, 30, width, 0, true, 0);
    doc->end();
    return printers.documents.back();
  };
  const struct { const char* text; double width; QStringList lines; } cases[] = {
      {"Hallo schoene Welt, wie geht's?\r\n", 20, {"Hallo ", "schoene ", "Welt, wie ", "geht's?", ""}},
      {"A-Bundesliga", 20, {"A-", "Bundesliga"}},
      {"Hallo Welt klm", 20, {"Hallo Welt", " klm"}},  // a continued line may start with a blank
      {"abcdefghijklmnopqrstuvwxy", 20, {"abcdefghij", "klmnopqrst", "uvwxy"}},  // no separator
      {"abcdef", 1, {"a", "b", "c", "d", "e", "f"}},  // narrower than a character: one a line
  };
  for (const auto& c : cases) EXPECT_EQ(wrap(c.text, c.width).lines(), c.lines) << c.text;
  const auto& first = printers.documents.front().pages[0];
  EXPECT_TRUE(first[0].x == 10 && first[0].y == 30 && first[1].y == 35);
  const auto print = [&](const char* qprinter) {
    PrintReceipt(printers, dialogs, {"never printed", "Zeile 1", "Zeile 2"}, qprinter, receiptLogo(), "t");
    return printers.documents.back();
  };
  const RecordedDocument full = print("-");
  EXPECT_TRUE(full.printer == "Standard" && full.logo && full.millimetres && full.fontSize == 12 && full.ended);
  EXPECT_EQ(full.lines(), (QStringList{"Zeile 1", "Zeile 2", ""}));
  EXPECT_TRUE(full.pages[0][0].x == 20 && full.pages[0][0].y == 30);
  const RecordedDocument slip = print("BON");
  EXPECT_TRUE(slip.printer == "BON" && !slip.logo && slip.fontSize == 10 && slip.pages[0][0].x == 0);
  EXPECT_TRUE(printers.current == "Standard" && dialogs.messages.isEmpty());  // switched back
  const RecordedDocument unknown = print("Bon");  // the match is exact
  EXPECT_EQ(dialogs.messages, QStringList{"Hinweis: Drucker nicht gefunden !"});
  EXPECT_TRUE(unknown.printer == "Standard" && unknown.fontSize == 10);  // still the narrow form
}

}  // namespace quorvalis::testing
