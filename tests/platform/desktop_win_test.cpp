// What the terminal asks of Windows itself, against Windows' own functions (under Wine in
// scripts/windows.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <QDir>

#include "common/text.h"
#include "platform/desktop.h"
#include "platform/program_folder.h"
#include "program_folder_test.h"
#include "settings/ini.h"

namespace quorvalis {
namespace {

using testing::ProgramFolderTest;

QByteArray runValue(DWORD* type) {
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                   "quorvalis", RRF_RT_ANY | RRF_NOEXPAND, type, value, &size) != ERROR_SUCCESS)
    return "(none)";
  return QByteArray(value, static_cast<qsizetype>(size));  // the stored bytes, NUL included
}

// The Run value always exists and names the program or a file that does not exist, in the
// backslash form Windows starts it by.
TEST(WindowsDesktop, RunValueNamesTheCommand) {
  const auto desktop = createDesktop();
  for (const char* name : {"quorval.exe", "no_quorval.exe"}) {
    desktop->setAutostart(QStringLiteral("c:/quorvalis/") + QString::fromLatin1(name));
    DWORD type = 0;
    EXPECT_EQ(runValue(&type), QByteArray("c:\\quorvalis\\") + name + '\0');
    EXPECT_EQ(type, DWORD(REG_SZ));
  }
}

TEST(WindowsDesktop, ForegroundTitleIsTheActiveWindow) {
  const char* title = "3D-Ansicht \xC4rger";  // Windows-1252, as GetWindowTextA gives it
  HWND window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr) << "no display for Windows' windows";
  SetForegroundWindow(window);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(createDesktop()->foregroundTitle(), QString::fromUtf8("3D-Ansicht Ärger"));
  DestroyWindow(window);
}

TEST(WindowsDesktop, ProgramFolderIsOnDriveC) {
  const QByteArray saved = qgetenv("QUORVALIS_HOME");
  qunsetenv("QUORVALIS_HOME");
  EXPECT_EQ(QDir::toNativeSeparators(programFile("cl.ini")).toLower(), "c:\\quorvalis\\cl.ini");
  qputenv("QUORVALIS_HOME", saved);
  EXPECT_EQ(executableName(), "quorval.exe");
}

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
