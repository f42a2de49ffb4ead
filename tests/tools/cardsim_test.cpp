#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Run {
  int exitCode;
  QString out;
};

Run cardsim(const QString& file, const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(CARDSIM_BINARY), QStringList{"--file", file} + args);
  p.waitForFinished(10000);
  return {p.exitCode(), QString::fromLatin1(p.readAllStandardOutput())};
}

TEST(Cardsim, DumpShowsStateAndClubLayout) {
  QTemporaryDir dir;
  const QString file = dir.filePath("card");
  EXPECT_TRUE(cardsim(file, {"dump"}).out.contains("card: none"));
  ASSERT_EQ(cardsim(file, {"club", "004917112345"}).exitCode, 0);
  const QString dump = cardsim(file, {"dump"}).out;
  EXPECT_TRUE(dump.contains("card: present"));
  EXPECT_TRUE(dump.contains("000: FF 71 75 6F 72 76 61 FF")) << dump.toStdString();  // "quorva" at 1
  EXPECT_TRUE(dump.contains("016: ")) << dump.toStdString();
  EXPECT_TRUE(dump.contains("31 32 30 30  ")) << dump.toStdString();  // "12" then "00" at 28 to 31
  ASSERT_EQ(cardsim(file, {"club", "004917112"}).exitCode, 0);
  EXPECT_TRUE(cardsim(file, {"dump"}).out.contains("30 39 30 30  "));  // "09": leading zero
}

TEST(Cardsim, UnknownCommandIsAUsageError) {
  QTemporaryDir dir;
  EXPECT_EQ(cardsim(dir.filePath("card"), {"explode"}).exitCode, 2);
  EXPECT_EQ(cardsim(dir.filePath("card"), {"club"}).exitCode, 2);
}

}  // namespace
