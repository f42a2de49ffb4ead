#include <gtest/gtest.h>

#include <QDir>

#include "platform/file_write.h"
#include "platform/program_folder.h"
#include "program_folder_test.h"

namespace quorvalis {
namespace {

using testing::ProgramFolderTest;

TEST_F(ProgramFolderTest, AtomicWriteReplacesWholeFilesOnly) {
  EXPECT_TRUE(writeFileAtomically(path("a.ini"), "old content"));
  EXPECT_TRUE(writeFileAtomically(path("a.ini"), "new"));
  EXPECT_EQ(readBytes("a.ini"), "new");
  EXPECT_FALSE(writeFileAtomically(path("no/folder/a.ini"), "x"));
  EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.ini"});
}

TEST_F(ProgramFolderTest, DurableAppendAddsToTheEnd) {
  EXPECT_TRUE(appendDurably(path("log.txt"), "one\r\n"));
  EXPECT_TRUE(appendDurably(path("log.txt"), "two\r\n"));
  EXPECT_EQ(readBytes("log.txt"), "one\r\ntwo\r\n");
  EXPECT_FALSE(appendDurably(path("no/folder/log.txt"), "x"));
}

TEST_F(ProgramFolderTest, ProgramFolderComesFromTheEnvironment) {
  EXPECT_EQ(programFolder(), QDir::cleanPath(folder()));
  EXPECT_EQ(programFile("cl.ini"), QDir::cleanPath(folder()) + "/cl.ini");
}

}  // namespace
}  // namespace quorvalis
