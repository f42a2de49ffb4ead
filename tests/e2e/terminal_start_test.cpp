#include <QProcess>

#include "demo_branch.h"

namespace quorvalis::testing {

using TerminalStartTest = ProgramFolderTest;

// The program as installed: the remembered branch logs in by itself and the band fetches its
// configuration; one terminal at a time, but a crashed one does not keep the next out.
TEST_F(TerminalStartTest, RealExecutableReachesTheBandAndRunsOnce) {
  ZentraleProcess zentrale;
  ASSERT_TRUE(zentrale.started());
  writeBytes("install.ini", "[server]\r\nhost=" + zentrale.host().toLatin1() + "\r\ntimeout=10\r\n");
  writeBytes("cl.ini", "[start]\r\nlog=1\r\nID=DEMO01\r\n");
  QProcess first, second, third;  // offscreen, in the test's program folder, as the test itself
  first.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_TRUE(QTest::qWaitFor([&] { return exists("rss.ini") && exists("filialini.ini"); }, 20000));
  EXPECT_TRUE(fromCp1252(readBytes("filialini.ini")).contains(QString::fromUtf8("über")));

  second.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_TRUE(second.waitForFinished(10000) && second.exitCode() == 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.close();  // killed, as in a crash
  third.start(QStringLiteral(QUORVAL_BINARY), {});
  EXPECT_FALSE(third.waitForFinished(1500));
  third.close();
}

}  // namespace quorvalis::testing
