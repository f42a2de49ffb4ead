#include <gtest/gtest.h>

#include <QSet>

#include "club/club_card.h"
#include "club/club_rules.h"
#include "program_folder_test.h"

namespace quorvalis {
namespace {

class ClubFiles : public testing::ProgramFolderTest {};

TEST_F(ClubFiles, DayFileAndVisitLogNamesHaveNoLeadingZeros) {
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

}  // namespace
}  // namespace quorvalis
