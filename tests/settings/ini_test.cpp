#include <gtest/gtest.h>

#include <QDir>

#include "program_folder_test.h"
#include "settings/ini.h"

namespace quorvalis::testing {

using IniTest = ProgramFolderTest;

// A file as a person would edit it: odd spacing, comments, capitals, LF and CR LF mixed.
const QByteArray kHandWritten =
    "orphan=before any section\r\n"
    "; comment at the top\r\n"
    "  [ Start ]  \r\n"
    "  Log   =\t1 \r\n"
    "ID=\"  quoted  \"\n"
    "single='x'\r\n"
    "mixed=\"x'\r\n"
    "hash=#not a comment\r\n"
    "semi=a;b ; c\r\n"
    "   ; key=commented out\r\n"
    "empty=\r\n"
    "ID=second wins never\r\n"
    "noequals\r\n"
    "\r\n"
    "[clients]\r\n"
    "automin=1\r\n"
    "[START]\r\n"
    "club=from the second start section\r\n";

// As the private profile functions read a file a person edited; names passed in lose their
// spaces, the default its trailing spaces (cut to 1023, as a value is), a vertical tab is a blank
// in the file: as on Windows.
TEST(IniText, ReadsLikeThePrivateProfileFunctions) {
  const QString longDefault(2000, u'd');
  const QByteArray h = kHandWritten;
  const struct { QByteArray file; const char *section, *key; QString def, read; } reads[] = {
      {h, "start", "log", "D", "1"},                // names case-insensitive, blanks and tabs trimmed
      {h, "START", "LOG", "D", "1"},
      {h, "start", "ID", "D", "  quoted  "},        // one pair of outer quotes removed, inside kept
      {h, "start", "single", "D", "x"},
      {h, "start", "mixed", "D", "\"x'"},           // quotes that do not match stay
      {h, "start", "hash", "D", "#not a comment"},  // only ";" starts a comment
      {h, "start", "semi", "D", "a;b ; c"},         // a ";" inside a value is literal
      {h, "start", "key", "D", "D"},                // commented-out line is not a key
      {h, "start", "empty", "D", ""},               // empty value is "", not the default
      {h, "start", "club", "D", "D"},               // only the first section of a name is searched
      {h, "start", "orphan", "D", "D"},             // lines before the first section are unreadable
      {h, "start", "noequals", "D", "D"}, {h, "clients", "automin", "D", "1"}, {h, "nosuch", "log", "D", "D"},
      {"", "s", "k", "abc  ", "abc"}, {"", "s", "k", "\tx\t", "\tx\t"},
      {"", "s", "k", longDefault, longDefault.left(1023)},
      {"[a]\r\nk=" + QByteArray(1500, 'x') + "\r\n", "a", "k", "D", QString(1023, u'x')},
      {"[s]\r\nk=1\r\n", " s", "k ", "D", "1"}, {"[s]\r\nk=1\r\n", "\ts", "k", "D", "D"},
      {"[\vs\v]\r\n\vk\v=\v1\v\r\n", "s", "k", "D", "1"},
      {"[s]\r\n\xFC=\xE4\r\n", "s", "\xC3\x9C", "D", "\xC3\xA4"},  // case-insensitive beyond ASCII
      // CR, LF and CR LF all end a line.
      {"[s]\rk=v\rj=x\r", "s", "k", "D", "v"}, {"[s]\r\r\nk=1\r\r\n", "s", "k", "D", "1"},
      {"[s]\r\nk=a\rb", "s", "k", "D", "a"},
  };
  for (const auto& r : reads)
    EXPECT_EQ(iniReadText(r.file, r.section, r.key, r.def), r.read) << r.file.left(30).constData() << "|" << r.section << "/" << r.key;
}

// A write changes one line or adds one, and keeps every other byte of the file.
TEST(IniText, WriteChangesOnlyItsLine) {
  QByteArray handWritten = kHandWritten;
  const struct { QByteArray file; const char *section, *key, *value; QByteArray written; } writes[] = {
      {kHandWritten, "start", "LOG", "0",  // the key as already spelled in the file
       handWritten.replace("  Log   =\t1 \r\n", "Log=0\r\n")},
      {"[s]\r\nk=1\r\n", " s ", " k ", "2", "[s]\r\nk=2\r\n"},
      {"[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2\r\n"},  // a rewritten last line gets its CR LF
      {"", " s", "k ", "2", "[s]\r\nk=2\r\n"},
      {"[a]\r\nx=1", "temp", "nr", "", "[a]\r\nx=1\r\n[temp]\r\nnr=\r\n"},
      // A lone CR already ends a line (a key written into a CR-only file was appended to its
      // last line and never read back: found by the fuzzer).
      {"[t]\rj=x\r", "s", "k", "2", "[t]\rj=x\r[s]\r\nk=2\r\n"},
      {"[s]\rk=v\rj=x\r", "s", "new", "1", "[s]\rk=v\rj=x\rnew=1\r\n"},
      {"[s]\r\r\nk=1\r\r\n", "s", "new", "1", "[s]\r\r\nk=1\rnew=1\r\n\r\n"},
      {"[s]\r\nk=a\rb", "s", "new", "1", "[s]\r\nk=a\rnew=1\r\nb"},
      {"[s]\rj=x", "s", "new", "1", "[s]\rj=x\r\nnew=1\r\n"},
      // After the last key line of the section, not after its comments or blank lines.
      {"[a]\r\nx=1\r\n; note\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3",
       "[a]\r\nx=1\r\nz=3\r\n; note\r\n\r\n[b]\r\ny=2\r\n"},
      {"[a]\r\nx=1\r\n[b]\r\ny=2\r\n", "b", "w", "4", "[a]\r\nx=1\r\n[b]\r\ny=2\r\nw=4\r\n"},
      {"[a]\n\n[b]\nk=v", "a", "x", "1", "[a]\nx=1\r\n\n[b]\nk=v"},
      {"", "clients", "abs", "Gr\xC3\xBC\xC3\x9F" "e", "[clients]\r\nabs=Gr\xFC\xDF" "e\r\n"},
  };
  for (const auto& w : writes) {
    const QByteArray written = iniWriteText(w.file, w.section, w.key, QString::fromUtf8(w.value));
    EXPECT_EQ(written, w.written) << w.file.constData() << "|" << w.key;
    EXPECT_EQ(iniReadText(written, w.section, w.key, "DEF"), QString::fromUtf8(w.value));
  }
}

TEST_F(IniTest, FilesOnDisk) {
  EXPECT_EQ(IniRead(path("t.ini"), "s", "k", "0  "), "0");  // missing file: the default, and no file made
  EXPECT_FALSE(exists("t.ini"));
  for (int i = 0; i < 5; ++i) IniWrite(path("t.ini"), "start", "ID", QString::number(i));
  EXPECT_EQ(readBytes("t.ini"), "[start]\r\nID=4\r\n");
  EXPECT_EQ(IniRead(path("t.ini"), "start", "ID", "D"), "4");
  EXPECT_EQ(QDir(path(".")).entryList(QDir::Files | QDir::Hidden), QStringList{"t.ini"});  // no temp file left
  const QString nowhere = path("no/such/folder/x.ini");
  IniWrite(nowhere, "a", "b", "c");
  EXPECT_FALSE(QFile::exists(nowhere));
  EXPECT_EQ(IniRead(nowhere, "a", "b", "def"), "def");
}

}  // namespace quorvalis::testing
