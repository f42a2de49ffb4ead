#include <QDir>
#include <QProcess>
#include <QSysInfo>

#include "demo_branch.h"
#include "platform/program_folder.h"

namespace quorvalis::testing {

using SignedUpdateE2E = DemoBranchTest<>;

// The head office's signing tool.
void quorvalSign(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(QUORVAL_SIGN), args);
  ASSERT_TRUE(p.waitForFinished(10000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
}

// The update download against zentrale with a key installed: only a program whose signature
// verifies is started; any other is deleted and the old terminal runs on. Without a key an
// unsigned program starts as before.
TEST_F(SignedUpdateE2E, OnlyAVerifiedProgramIsStarted) {
  const QString keys = path("office"), other = path("other"), update = zentrale.dataDir() + "/update/";
  quorvalSign({"keygen", keys});
  quorvalSign({"keygen", other});
  // The head office signs with the Debian tool; Windows keeps file access in ACLs Qt does not show.
  if (QSysInfo::kernelType() != "winnt") {
    EXPECT_EQ(QFile(keys + "/update.key").permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
  }
  QFile pub(keys + "/update.pub");
  ASSERT_TRUE(pub.open(QIODevice::ReadOnly));
  const QByteArray program = "MZ the F108 installer";
  const auto offer = [&](const QByteArray& bytes, const QString& signedAs, const QString& keyDir) {
    QFile::remove(update + "F108.exe.sig");
    QFile staged(update + signedAs + ".exe");
    ASSERT_TRUE(staged.open(QIODevice::WriteOnly) && staged.write(program) == program.size());
    staged.close();
    if (!keyDir.isEmpty()) quorvalSign({"sign", keyDir + "/update.key", staged.fileName()});
    if (signedAs != "F108") QFile::rename(update + signedAs + ".exe.sig", update + "F108.exe.sig");
    QFile served(update + "F108.exe");
    ASSERT_TRUE(served.open(QIODevice::WriteOnly) && served.write(bytes) == bytes.size());
  };
  const QByteArray key = pub.readAll();
  QByteArray altered = program;
  altered[3] = 'X';
  const struct { const char* what; QByteArray key, served; QString signedAs, by; bool starts; } rows[] = {
      {"correctly signed", key, program, "F108", keys, true},
      {"no signature", key, program, "F108", "", false},
      {"signed by another key", key, program, "F108", other, false},
      {"signature of another version", key, program, "F109", keys, false},
      {"altered by one byte", key, altered, "F108", keys, false},
      {"no key installed, unsigned", "", program, "F108", "", true},
  };
  QFile version(update + "filial.ini");
  ASSERT_TRUE(version.open(QIODevice::WriteOnly) && version.write("F108") == 4);
  version.close();
  for (const auto& r : rows) {
    offer(r.served, r.signedAs, r.by);
    writeBytes("install.ini", "[update]\r\nkey=" + r.key + "\r\n");
    desktop.started.clear();
    dialogs.messages.clear();
    MainScreen band(services, state, "DEMO01");
    band.timer2Tick();
    const QString file = programFolder() + "/ F108.exe";
    EXPECT_EQ(desktop.started, r.starts ? QStringList{file} : QStringList()) << r.what;
    EXPECT_EQ(QFile::exists(file), r.starts) << r.what;
    EXPECT_EQ(band.ending(), r.starts) << r.what;
    EXPECT_EQ(dialogs.messages.value(0).startsWith("Fehler: Update-Download ERROR "), !r.starts) << r.what;
    QFile::remove(file);
  }
}

}  // namespace quorvalis::testing
