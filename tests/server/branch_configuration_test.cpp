#include <gtest/gtest.h>

#include "common/text.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "server/branch_configuration.h"

namespace quorvalis {
namespace {

// The head office's scrambling, written from the rule: nine filler characters, then the
// password; middle character i (from 1) is the plain code minus i plus A plus B.
QString scramble(const QString& password, int a, int b) {
  const QByteArray plain = toCp1252(QStringLiteral("xY3#fil9!") + password);
  QByteArray middle;
  for (qsizetype i = 0; i < plain.size(); ++i)
    middle += static_cast<char>(static_cast<unsigned char>(plain[i]) - (i + 1) + a + b);
  return QString::number(a) + fromCp1252(middle) + QStringLiteral("%1").arg(b, 2, 10, QChar('0'));
}

TEST(UnscramblePassword, RoundTripsForSeveralKeys) {
  const struct {
    const char* password;
    int a, b;
  } cases[] = {{"1234", 0, 0}, {"geheim", 3, 17}, {"Bar-Nord", 9, 99}, {"x", 5, 40},
               {"Kühl", 2, 8}};
  for (const auto& c : cases) {
    const QString pass = scramble(QString::fromUtf8(c.password), c.a, c.b);
    EXPECT_EQ(unscramblePassword(pass), QString::fromUtf8(c.password)) << pass.toStdString();
  }
}

TEST(UnscramblePassword, NothingLeftAfterTheFiller) {
  for (const char* pass : {"", "1", "12", "123", "5abcdefghi00"})  // nine characters or fewer
    EXPECT_EQ(unscramblePassword(QString::fromLatin1(pass)), "") << pass;
}

TEST(VersionReply, DecidesTheUpdate) {
  const struct {
    QString reply;
    UpdateCheck expected;
  } cases[] = {
      {"", UpdateCheck::kNoReply},
      {QString(16, u'F'), UpdateCheck::kNoReply},
      {QString(15, u'F'), UpdateCheck::kNewer},
      {"F106", UpdateCheck::kCurrent},
      {"F107", UpdateCheck::kNewer},
      {"<h1>404 File Not Found</h1>", UpdateCheck::kNoReply},
  };
  for (const auto& c : cases)
    EXPECT_EQ(checkVersionReply(c.reply, "F106"), c.expected) << c.reply.toStdString();
  EXPECT_EQ(updateProgramPath("F107"), "/quorvalis/update/F107.exe");
}

TEST(BranchReply, FourFieldsOrUnknown) {
  const BranchInfo info = parseBranchReply("demo;Demo%20Filiale;Bar%20Nord;12345");
  EXPECT_TRUE(info.answered);
  EXPECT_EQ(info.directory, "demo");
  EXPECT_EQ(info.displayName, "Demo Filiale");
  EXPECT_EQ(info.branchName, "Bar Nord");
  EXPECT_EQ(info.postcode, "12345");
  const BranchInfo unknown = parseBranchReply("-");
  EXPECT_TRUE(unknown.answered);
  EXPECT_EQ(unknown.directory, "");
  EXPECT_FALSE(parseBranchReply("").answered);
}

class ConfigurationDownloadTest : public testing::ProgramFolderTest {
 protected:
  testing::ScriptedCentralServer server;
  const QString numbered = "/quorvalis/DATA/demo/filialen/7.ini";
  const QString common = "/quorvalis/DATA/demo/filial.ini";
};

TEST_F(ConfigurationDownloadTest, NumberedFileThenCommonFile) {
  server.reply(numbered, "[clients]\r\nautomin=1");
  EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), Download::kWritten);
  EXPECT_EQ(readBytes("filialini.ini"), "[clients]\r\nautomin=1\r\n");
  EXPECT_EQ(server.requests, QStringList{numbered});

  server.reply(numbered, "<title>404 Not Found</title> File Not Found");
  server.reply(common, "[clients]\r\nwin=1");
  EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), Download::kWritten);
  EXPECT_EQ(readBytes("filialini.ini"), "[clients]\r\nwin=1\r\n");
}

TEST_F(ConfigurationDownloadTest, FileNotAnywhereIsNeverWritten) {
  writeBytes("filialini.ini", "old");
  server.reply(numbered, "[clients]\r\n; File Not here\r\nwin=1");
  server.reply(common, "[x] File Not Found");
  EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), Download::kNotFound);
  EXPECT_FALSE(exists("filialini.ini"));  // the server says the branch has none
}

TEST_F(ConfigurationDownloadTest, SilentServerKeepsTheOldFiles) {
  writeBytes("filialini.ini", "[clients]\r\npass=old\r\n");
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\n");
  EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), Download::kNoAnswer);
  EXPECT_EQ(downloadTickerSettings(server, "demo"), Download::kNoAnswer);
  EXPECT_EQ(readBytes("filialini.ini"), "[clients]\r\npass=old\r\n");
  EXPECT_EQ(readBytes("rss.ini"), "[rss]\r\nmain=1\r\n");
  // Not found for one, no answer for the other: still nothing is deleted.
  server.reply(numbered, "File Not Found");
  EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), Download::kNoAnswer);
  EXPECT_TRUE(exists("filialini.ini"));
}

TEST_F(ConfigurationDownloadTest, TickerSettingsReplacedOrRemoved) {
  server.reply("/quorvalis/DATA/demo/rss.ini", "[rss]\r\nmain=2");
  EXPECT_EQ(downloadTickerSettings(server, "demo"), Download::kWritten);
  EXPECT_EQ(readBytes("rss.ini"), "[rss]\r\nmain=2\r\n");
  server.reply("/quorvalis/DATA/demo/rss.ini", "404 File Not Found");
  EXPECT_EQ(downloadTickerSettings(server, "demo"), Download::kNotFound);
  EXPECT_FALSE(exists("rss.ini"));
}

}  // namespace
}  // namespace quorvalis
