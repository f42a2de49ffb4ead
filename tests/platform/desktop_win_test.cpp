// Our settings files against Windows' own profile functions (under Wine in scripts/windows.sh);
// the Run value, the foreground window and the program folder are checked by tests/windows/*.sh
// on the installed terminal.
#include <windows.h>

#include <gtest/gtest.h>

#include <QDir>

#include "common/text.h"
#include "program_folder_test.h"
#include "settings/ini.h"

namespace quorvalis {
namespace {

using testing::ProgramFolderTest;

// Our settings files and Windows' profile functions read each other's writes.
TEST_F(ProgramFolderTest, WindowsProfileFunctionsAndOursAgree) {
  const QByteArray file = QDir::toNativeSeparators(path("cl.ini")).toLocal8Bit();
  const struct { const char *section, *key, *value; } cases[] = {
      {"start", "FL", "17"},          {"start", "ID", "Filiale K\xF6ln"},
      {"temp", "nr", ""},             {"Start", "club", "1"},  // same section, other case
      {"server", "host", "a=b;c"},    {"x y", "k k", "  v v  "},
  };
  for (const auto& c : cases) {
    IniWrite(path("cl.ini"), QString::fromLatin1(c.section), QString::fromLatin1(c.key),
             fromCp1252(c.value));
    char value[1024] = {};
    GetPrivateProfileStringA(c.section, c.key, "DEF", value, sizeof value, file.constData());
    EXPECT_EQ(QByteArray(value), QByteArray(c.value).trimmed()) << c.section << "/" << c.key;
  }
  for (const auto& c : cases) {
    const QByteArray written = QByteArray(c.value) + "!";
    ASSERT_TRUE(WritePrivateProfileStringA(c.section, c.key, written.constData(), file.constData()));
    EXPECT_EQ(toCp1252(IniRead(path("cl.ini"), QString::fromLatin1(c.section),
                               QString::fromLatin1(c.key), "DEF")),
              written.trimmed())
        << c.section << "/" << c.key;
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.constData());  // flush Wine's cache
}

}  // namespace
}  // namespace quorvalis
