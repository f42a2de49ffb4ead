#include <gtest/gtest.h>

#include <QSet>

#include "club/club_card.h"
#include "club/club_rules.h"
#include "program_folder_test.h"

namespace quorvalis {
namespace {

const QDate kToday(2026, 12, 4);

TEST(ClubReply, KindsKeysAndNames) {
  const struct {
    QString reply;
    ClubReply::Kind kind;
    QString key, name;
  } cases[] = {
      {"-", ClubReply::kUnknown, "", ""},
      {"", ClubReply::kNoAnswer, "", ""},
      {"00491711234567;Anna;Muster", ClubReply::kNoAnswer, "", ""},
      {"<html>File Not Found</html>", ClubReply::kNoAnswer, "", ""},
      {"00491711234567;Anna;Muster;Gold", ClubReply::kMember, "00491711234567;Anna;Muster;Gold",
       "Anna Muster"},
      // Blanks arrive as %20; further fields and a second line are not part of the record.
      {"00491711234567;Anna%20Lena;Muster;Gold;x;y\r\nnext;line;of;text",
       ClubReply::kMember, "00491711234567;Anna Lena;Muster;Gold", "Anna Lena Muster"},
      {"0049160;Max;Beispiel;\r\n", ClubReply::kMember, "0049160;Max;Beispiel;", "Max Beispiel"},
  };
  for (const auto& c : cases) {
    const ClubReply r = parseClubReply(c.reply);
    EXPECT_EQ(r.kind, c.kind) << c.reply.toStdString();
    EXPECT_EQ(r.key, c.key) << c.reply.toStdString();
    EXPECT_EQ(r.name, c.name) << c.reply.toStdString();
  }
}

TEST(ClubRecords, LinesKeysAndLogAsStored) {
  const QString record = presentRecord("00491711234567;Anna;Muster;Gold", kToday);
  EXPECT_EQ(record, "00491711234567;Anna;Muster;Gold;04.12.2026");
  EXPECT_EQ(displayLine(record, QTime(9, 5, 7), kToday),
            "Anna - Muster - --------------------------------------- - 09:05:07 - 04.12.2026 - "
            "00491711234567");
  EXPECT_EQ(checkOutKey(record), "00491711234567;Anna;Muster;");
  EXPECT_EQ(visitLogLine(record, kToday, QTime(9, 5, 7)),
            "00491711234567;Anna;Muster;04.12.2026;09:05:07");
  EXPECT_EQ(clubSearchPath("B", "00491711234567"),
            "/quorvalis/DATA/clubsearch.cgi?B---00491711234567");
}

TEST(ClubRecords, OnlyTodaysLongLinesAreKept) {
  const QStringList lines{
      "00491711234567;Anna;Muster;Gold;04.12.2026",   // today
      "00491609876543;Max;Beispiel;;04.12.2025",      // the same day last year
      "1;2;3;4;04.12.2026",                           // 18 characters, today
      "1;2;3;04.12",                                  // 11 characters
      "12;3;4;5;04.12.2026;more",                     // further fields are kept with the line
      "",
  };
  EXPECT_EQ(todaysRecords(lines, kToday),
            (QStringList{lines[0], lines[2], lines[4]}));
}

class ClubFiles : public testing::ProgramFolderTest {};

TEST_F(ClubFiles, DayFileAndVisitLogNamesHaveNoLeadingZeros) {
  EXPECT_EQ(dayFilePath(kToday), path("data/12/4.ini"));
  EXPECT_EQ(visitLogPath(kToday), path("data/12/4t.ini"));
  EXPECT_EQ(dayFilePath(QDate(2027, 1, 9)), path("data/1/9.ini"));
  EXPECT_EQ(visitLogPath(QDate(2027, 3, 31)), path("data/3/31t.ini"));
}

TEST(ClubCardNumber, DigitsAndCapitalsOnly) {
  // Draws that land on ':' (58) or '@' (64) are drawn again.
  const QList<double> draws{10.0 / 43, 16.5 / 43, 17.0 / 43, 0.0, 9.99 / 43, 42.99 / 43};
  int next = 0;
  const UniformDraw scripted = [&] { return draws[next++]; };
  EXPECT_EQ(cardNumberCharacter(scripted), u'A');
  EXPECT_EQ(next, 3);
  EXPECT_EQ(cardNumberCharacter(scripted), u'0');
  EXPECT_EQ(cardNumberCharacter(scripted), u'9');
  EXPECT_EQ(cardNumberCharacter(scripted), u'Z');

  const UniformDraw uniform = systemUniformDraw();
  QSet<QChar> seen;
  for (int i = 0; i < 500; ++i)
    for (QChar c : cardNumberHalf(uniform)) {
      ASSERT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z')) << int(c.unicode());
      seen.insert(c);
    }
  EXPECT_EQ(seen.size(), 36);
}

TEST(ClubCardNumber, LengthFieldHasTwoDigits) {
  EXPECT_EQ(lengthField(9), "09");
  EXPECT_EQ(lengthField(14), "14");
}

}  // namespace
}  // namespace quorvalis
