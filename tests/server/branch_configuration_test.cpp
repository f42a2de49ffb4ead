#include <gtest/gtest.h>

#include "common/text.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "server/branch_configuration.h"

namespace quorvalis {
namespace {

using testing::ProgramFolderTest;

// The head office's scrambling, written from the rule: nine filler characters, then the
// password; middle character i (from 1) is the plain code minus i plus A plus B.
QString scramble(const QString& password, int a, int b) {
  const QByteArray plain = toCp1252(QStringLiteral("xY3#fil9!") + password);
  QByteArray middle;
  for (qsizetype i = 0; i < plain.size(); ++i)
    middle += static_cast<char>(static_cast<unsigned char>(plain[i]) - (i + 1) + a + b);
  return QString::number(a) + fromCp1252(middle) + QStringLiteral("%1").arg(b, 2, 10, QChar('0'));
}

// Scrambled and unscrambled for several keys; nine characters or fewer leave no password.
TEST(BranchReplies, PasswordVersionAndBranch) {
  const struct {
    const char* password;
    int a, b;
  } keys[] = {{"1234", 0, 0}, {"geheim", 3, 17}, {"Bar-Nord", 9, 99}, {"x", 5, 40}, {"Kühl", 2, 8}};
  for (const auto& k : keys)
    EXPECT_EQ(unscramblePassword(scramble(QString::fromUtf8(k.password), k.a, k.b)), QString::fromUtf8(k.password));
  for (const char* pass : {"", "123", "5abcdefghi00"}) EXPECT_EQ(unscramblePassword(QString::fromLatin1(pass)), "") << pass;

  const struct {
    QString reply;
    UpdateCheck expected;
  } versions[] = {{"", UpdateCheck::kNoReply},         {QString(16, u'F'), UpdateCheck::kNoReply},
                  {QString(15, u'F'), UpdateCheck::kNewer}, {"F106", UpdateCheck::kCurrent},
                  {"F107", UpdateCheck::kNewer},       {"<h1>404 File Not Found</h1>", UpdateCheck::kNoReply}};
  for (const auto& v : versions) EXPECT_EQ(checkVersionReply(v.reply, "F106"), v.expected) << v.reply.toStdString();

  const BranchInfo info = parseBranchReply("demo;Demo%20Filiale;Bar%20Nord;12345");
  EXPECT_EQ(QStringList({info.directory, info.displayName, info.branchName, info.postcode}).join('|'),
            "demo|Demo Filiale|Bar Nord|12345");
  EXPECT_TRUE(info.answered && parseBranchReply("-").answered && parseBranchReply("-").directory.isEmpty());
  EXPECT_FALSE(parseBranchReply("").answered);
}

// The branch's settings file: its numbered file, else the common one. A not-found page removes
// the old file, no answer keeps it, and a file is written only when it holds its section.
TEST_F(ProgramFolderTest, ConfigurationDownloads) {
  const QString numbered = "/quorvalis/DATA/demo/filialen/7.ini", common = "/quorvalis/DATA/demo/filial.ini";
  const struct {
    const char *numbered, *common;  // nullptr: no answer
    Download result;
    const char* file;  // after, when "old" was there; nullptr: removed
  } cases[] = {
      {"[clients]\r\nautomin=1", nullptr, Download::kWritten, "[clients]\r\nautomin=1\r\n"},
      {"<title>404 Not Found</title> File Not Found", "[clients]\r\nwin=1", Download::kWritten,
       "[clients]\r\nwin=1\r\n"},
      {"[clients]\r\n; File Not here\r\nwin=1", "[x] File Not Found", Download::kNotFound, nullptr},
      {nullptr, nullptr, Download::kNoAnswer, "old"},
      {"File Not Found", nullptr, Download::kNoAnswer, "old"},  // one not found, one silent
  };
  for (const auto& c : cases) {
    testing::ScriptedCentralServer server;
    if (c.numbered) server.reply(numbered, c.numbered);
    if (c.common) server.reply(common, c.common);
    writeBytes("filialini.ini", "old");
    EXPECT_EQ(downloadBranchConfiguration(server, "demo", "7"), c.result) << c.numbered;
    EXPECT_EQ(exists("filialini.ini") ? readBytes("filialini.ini") : "(none)", c.file ? c.file : "(none)")
        << c.numbered;
  }
  const struct {
    const char* reply;
    Download result;
    const char* file;
  } ticker[] = {{"[rss]\r\nmain=2", Download::kWritten, "[rss]\r\nmain=2\r\n"},
                {nullptr, Download::kNoAnswer, "old"},
                {"404 File Not Found", Download::kNotFound, nullptr}};
  for (const auto& c : ticker) {
    testing::ScriptedCentralServer server;
    if (c.reply) server.reply("/quorvalis/DATA/demo/rss.ini", c.reply);
    writeBytes("rss.ini", "old");
    EXPECT_EQ(downloadTickerSettings(server, "demo"), c.result);
    EXPECT_EQ(exists("rss.ini") ? readBytes("rss.ini") : "(none)", c.file ? c.file : "(none)") << c.reply;
  }
}

}  // namespace
}  // namespace quorvalis
