#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

// The exit code, a blank, and what cardsim printed over a card file of the test's own.
QString cardsim(const QTemporaryDir& dir, const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(CARDSIM_BINARY), QStringList{"--file", dir.filePath("card")} + args);
  p.waitForFinished(10000);
  return QString::number(p.exitCode()) + ' ' + QString::fromLatin1(p.readAllStandardOutput());
}

TEST(Cardsim, ClubCardLayoutInTheDump) {
  QTemporaryDir dir;
  ASSERT_TRUE(cardsim(dir, {"club", "004917112"}).startsWith("0 "));
  const QString dump = cardsim(dir, {"dump"});
  // "quorva" at 1; the number's length at 28 in two digits, then the number and no more.
  for (const char* expected : {"card: present", "000: FF 71 75 6F 72 76 61 FF", "30 39 30 30  ", "032: 34 39 31 37 31 31 32 FF"})
    EXPECT_TRUE(dump.contains(expected)) << expected << " in " << dump.toStdString();
  for (const char* bad : {"explode", "club"}) EXPECT_TRUE(cardsim(dir, {bad}).startsWith("2 ")) << bad;
}

}  // namespace
