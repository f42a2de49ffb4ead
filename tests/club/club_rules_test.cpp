#include <algorithm>

#include "club/club_card.h"
#include "club/club_rules.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

using ClubRules = ProgramFolderTest;

// No leading zeros in file names. Card draws landing on ':' or '@' are redrawn; a fixed seed would repeat.
TEST_F(ClubRules, FileNamesAndCardNumberDigits) {
  EXPECT_EQ(dayFilePath(QDate(2027, 1, 9)) + " " + visitLogPath(QDate(2027, 3, 31)),
            path("data/1/9.ini") + " " + path("data/3/31t.ini"));
  const QList<double> draws{10.0 / 43, 16.5 / 43, 17.0 / 43, 0.0, 9.99 / 43, 42.99 / 43, 0.0, 42.99 / 43};
  qsizetype next = 0;
  const UniformDraw scripted = [&] { return draws[next++]; };
  const QString drawn = cardNumberHalf(scripted);
  EXPECT_EQ(drawn + " from " + QString::number(next) + " draws", "A09Z0Z from 8 draws");

  QString seen;
  for (int i = 0; i < 500; ++i) seen += cardNumberHalf(systemUniformDraw());
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(seen, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

}  // namespace quorvalis::testing
