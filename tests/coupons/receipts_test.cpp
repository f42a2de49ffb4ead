#include <gtest/gtest.h>

#include "coupons/print_receipt.h"
#include "coupons/receipts.h"
#include "fakes.h"

namespace quorvalis {
namespace {

const QString R104(104, u'-');
const QString R58(58, u'-');

ReceiptValues values(const QString& number = "12") {
  return {"5", "0171", "1234567", "12345", "Bar Nord", "04.12.2026", "14:30:05", number};
}

QStringList withSkippedFirst(QStringList lines) {
  lines.prepend(QString());
  return lines;
}

QStringList blanks(int n) { return QStringList(n, QString()); }

TEST(Receipts, PlainReceiptLineForLine) {
  const QStringList top = QStringList{"quorvalis - Tarvendel Coupons - System  -  ", "", R104, "",
                                      " - Quittung -" + QString(88, u' ') + "No.12", "", R104, "",
                                      QString::fromUtf8("über :    5,-  EURO "), "", R104, "",
                                      "von : ___________________ 12345  Bar Nord", "", R104,
                                      QString::fromUtf8("für:"), "", "",
                                      "Name : ___________________________  Handynummer :  0171 1234567",
                                      "", R104} + blanks(4);
  const QStringList expected =
      top + QStringList{"____ 04.12.2026 ____          dankend erhalten ____________________"} +
      blanks(9) + QStringList{R104} + blanks(4) +
      QStringList{" ____________________________________ ", " Name Servicepersonal", "", "",
                  "   A   B   C   D   E   F   ", ""};
  EXPECT_EQ(BuildPlainReceipt(values()), withSkippedFirst(expected));

  const QStringList note =
      top + QStringList{"___ 04.12.2026 - 14:30:05 ___       dankend erhalten ____________________"} +
      blanks(7) +
      QStringList{R104, QString::fromUtf8("Interner Vermerk - Gutschein verwendet für"), "",
                  "  O - Verzehr", "  O - Mitnahme", "  O - Dienstleistung",
                  QString::fromUtf8("  O - Einwurf______Gerät______________________No.______________")} +
      blanks(3) +
      QStringList{" _____________________________________________________ ",
                  " Servicepersonal - Blockschrift - Unterschrift", "", "",
                  "   A   B   C   D   E   F   "};
  EXPECT_EQ(BuildNoteReceipt(values()), withSkippedFirst(note));
}

TEST(Receipts, HeadingWithoutNumber) {
  for (const char* counter : {"0", "", "abc", "-3"}) {
    EXPECT_EQ(BuildPlainReceipt(values(counter))[5], " - Quittung - ") << counter;
    EXPECT_EQ(BuildPlainSlip(values(counter))[4], " - Quittung - ") << counter;
    EXPECT_EQ(BuildConfirmation(values(counter))[5],
              QString::fromUtf8(" - Bestätigung über das Einlösen eines SMS - Gutscheines"))
        << counter;
  }
  EXPECT_EQ(BuildPlainSlip(values("007"))[4], " - Quittung -     No.007");  // as stored
}

TEST(Receipts, SlipsLineForLine) {
  const QStringList top = {"quorvalis  - System  - ", "Tarvendel Coupons", R58, " - Quittung -     No.12", R58};
  const QStringList afterValue =
      QStringList{R58, "", "von: 12345  Bar Nord", "", R58, QString::fromUtf8("für Handynr. :   0171 1234567"), "", ""};
  const QStringList plain =
      top + QStringList{QString::fromUtf8("über:    5,-  EURO ")} + afterValue +
      QStringList{"Name: ____________________________ ", R58, "", "", "",
                  " ________________________________", "04.12.2026    dankend erhalten    ", R58,
                  "", "", "", " ________________________________", " Name Servicepersonal", "", "",
                  "   A   B   C   D   E   F   "} +
      blanks(8) + QStringList{"."};
  EXPECT_EQ(BuildPlainSlip(values()), withSkippedFirst(plain));

  const QStringList note =
      top + QStringList{QString::fromUtf8("über:     5,-  EURO ")} + afterValue +
      QStringList{"Name : ___________________________ ", R58, "", "", "",
                  " ________________________________", "04.12.2026    dankend erhalten    ", R58} +
      blanks(9) +
      QStringList{R58, QString::fromUtf8("Interner Vermerk - Gutschein verwendet für"), "",
                  "  O - Verzehr", "  O - Mitnahme", "  O - Dienstleistung", "  O - Einwurf",
                  QString::fromUtf8("        Gerät_____________No._________"), "", "", "",
                  " __________________________________", " Servicepersonal Name/Unterschrift", "",
                  "", "   A   B   C   D   E   F   "} +
      blanks(8) + QStringList{"."};
  EXPECT_EQ(BuildNoteSlip(values()), withSkippedFirst(note));
}

TEST(Receipts, ConfirmationLineForLine) {
  const QStringList expected =
      QStringList{"quorvalis - Tarvendel Coupons - System  -  ", "", R104, "",
                  QString::fromUtf8(" - Bestätigung über das Einlösen eines SMS - Gutscheines") +
                      QString(29, u' ') + "No.12",
                  "", R104, QString::fromUtf8("Eingelöst in "), "",
                  "___________________ 12345  Bar Nord", "", R104, QString::fromUtf8("Eingelöst von:"),
                  "", "", "Name : ___________________________  Handynummer :  0171 1234567", "", R104} +
      blanks(4) +
      QStringList{QString::fromUtf8("____ 04.12.2026 - 14:30:05 ____          bestätigt ____________________")} +
      blanks(9) + QStringList{R104} + blanks(4) +
      QStringList{" ____________________________________ ", " Name Servicepersonal", "", "",
                  "   A   B   C   D   E   F   ", ""};
  EXPECT_EQ(BuildConfirmation(values()), withSkippedFirst(expected));
}

TEST(PullBackWord, KeepsWordsWhole) {
  const struct {
    const char* carry;
    const char* line;
    const char* carryAfter;
    const char* lineAfter;
  } cases[] = {
      {"lt", "Hallo We", "Welt", "Hallo "},
      {" Welt", "Hallo", " Welt", "Hallo"},   // the carry starts at a separator
      {"", "Hallo", "", "Hallo"},
      {"de", "A-Bun", "Bunde", "A-"},
      {"xyz", "abc", "abcxyz", ""},           // no separator: the line empties
  };
  for (const auto& c : cases) {
    QString carry = c.carry, line = c.line;
    PullBackWord(carry, line);
    EXPECT_EQ(carry, c.carryAfter) << c.line;
    EXPECT_EQ(line, c.lineAfter) << c.line;
  }
}

class WrapTest : public ::testing::Test {
 protected:
  // 2 mm a character, 5 mm a line: a 20 mm line holds ten characters.
  testing::RecordedDocument& print(const QString& text, double width = 20, double pageHeight = 280) {
    printers.pageWidth = 100;
    printers.pageHeight = pageHeight;
    auto doc = printers.newDocument("t");
    PrintWrappedText(*doc, text, 10, 30, width, 0, true, 0);
    doc->end();
    return printers.documents.back();
  }
  testing::RecordingPrinterSystem printers;
};

TEST_F(WrapTest, BreaksAfterTheLastSeparatorThatFits) {
  const testing::RecordedDocument& doc = print("Hallo schoene Welt, wie geht's?\r\n");
  EXPECT_EQ(doc.lines(), (QStringList{"Hallo ", "schoene ", "Welt, wie ", "geht's?", ""}));
  EXPECT_EQ(doc.pages[0][0].x, 10);
  EXPECT_EQ(doc.pages[0][0].y, 30);
  EXPECT_EQ(doc.pages[0][1].y, 35);
}

TEST_F(WrapTest, ContinuedLineMayStartWithABlank) {
  EXPECT_EQ(print("abcdefghij klm").lines(), (QStringList{"abcdefghij", " klm"}));
}

TEST_F(WrapTest, RunWithoutSeparatorsIsBrokenAndEnds) {
  EXPECT_EQ(print("abcdefghijklmnopqrstuvwxy").lines(),
            (QStringList{"abcdefghij", "klmnopqrst", "uvwxy"}));
  EXPECT_EQ(print("abcdef", 1).lines(), (QStringList{"a", "b", "c", "d", "e", "f"}));
}

// A long paragraph (a damaged log line in the report) is wrapped with a few measurements a
// line, not one per character dropped: that took minutes with real fonts.
TEST_F(WrapTest, LongParagraphIsWrappedWithoutMeasuringEveryCharacter) {
  QString text;
  for (int i = 0; i < 100000; ++i) text += i % 7 == 6 ? QChar(u' ') : QChar(u'a' + i % 26);
  const testing::RecordedDocument& doc = print(text + "END", 20, 1e9);
  EXPECT_EQ(doc.lines().size(), 14286);
  EXPECT_TRUE(doc.lines().last().endsWith("END"));
  EXPECT_LT(printers.measurements, 400000);
}

TEST_F(WrapTest, LongTextContinuesAtTheTopOfANewPage) {
  // 50 mm page, printing from 30 mm: four lines fit, the rest goes on from the new page's top.
  QStringList lines;
  for (int i = 0; i < 12; ++i) lines << QStringLiteral("Zeile %1").arg(i);
  const testing::RecordedDocument& doc = print(lines.join("\r\n"), 20, 50);
  ASSERT_EQ(doc.pages.size(), 2);
  EXPECT_EQ(doc.pages[0].size(), 4);
  EXPECT_EQ(doc.pages[1].size(), 8);
  EXPECT_EQ(doc.pages[1][0].text, "Zeile 4");
  EXPECT_EQ(doc.pages[1][0].y, 0);
}

TEST(PrintReceipt, StandardAndReceiptPrinter) {
  testing::RecordingPrinterSystem printers;
  testing::ScriptedDialogs dialogs;
  const QStringList entries{"never printed", "Zeile 1", "Zeile 2"};

  PrintReceipt(printers, dialogs, entries, "-", receiptLogo(), "t");
  ASSERT_EQ(printers.documents.size(), 1u);
  const testing::RecordedDocument& full = printers.documents[0];
  EXPECT_EQ(full.printer, "Standard");
  EXPECT_TRUE(full.logo);
  EXPECT_TRUE(full.millimetres);
  EXPECT_EQ(full.fontSize, 12);
  EXPECT_EQ(full.lines(), (QStringList{"Zeile 1", "Zeile 2", ""}));
  EXPECT_EQ(full.pages[0][0].x, 20);
  EXPECT_EQ(full.pages[0][0].y, 30);

  PrintReceipt(printers, dialogs, entries, "BON", receiptLogo(), "t");
  const testing::RecordedDocument& slip = printers.documents[1];
  EXPECT_EQ(slip.printer, "BON");
  EXPECT_FALSE(slip.logo);
  EXPECT_EQ(slip.fontSize, 10);
  EXPECT_EQ(slip.pages[0][0].x, 0);
  EXPECT_EQ(printers.current, "Standard");  // switched back
  EXPECT_TRUE(dialogs.messages.isEmpty());

  PrintReceipt(printers, dialogs, entries, "Bon", receiptLogo(), "t");  // the match is exact
  EXPECT_EQ(dialogs.messages, QStringList{"Hinweis: Drucker nicht gefunden !"});
  EXPECT_EQ(printers.documents[2].printer, "Standard");
  EXPECT_EQ(printers.documents[2].fontSize, 10);  // still the narrow form

  printers.current = "BON";  // the receipt printer is the default: no switch
  PrintReceipt(printers, dialogs, entries, "BON", receiptLogo(), "t");
  EXPECT_EQ(printers.documents[3].printer, "BON");
  EXPECT_EQ(printers.current, "BON");
}

TEST(SelectPrinterByName, ExactFirstMatch) {
  testing::RecordingPrinterSystem printers;
  printers.names = {"Standard", "BON", "Kasse"};
  EXPECT_TRUE(SelectPrinterByName(printers, "Kasse"));
  EXPECT_EQ(printers.current, "Kasse");
  EXPECT_FALSE(SelectPrinterByName(printers, "kasse"));
  EXPECT_FALSE(SelectPrinterByName(printers, "BON "));
  EXPECT_EQ(printers.current, "Kasse");
  printers.names.clear();
  EXPECT_FALSE(SelectPrinterByName(printers, "Kasse"));
}

}  // namespace
}  // namespace quorvalis
