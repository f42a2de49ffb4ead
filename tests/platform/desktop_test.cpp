#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/desktop.h"

namespace quorvalis {
namespace {

// The autostart entry mirrors the Run value: always there, pointing at the program or at a
// file that does not exist.
TEST(Desktop, AutostartEntryNamesTheCommand) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  const auto desktop = createDesktop();
  for (const char* command : {"/opt/quorvalis/quorval", "/opt/quorvalis/no_quorval"}) {
    desktop->setAutostart(QString::fromLatin1(command));
    QFile entry(config.filePath("autostart/quorvalis.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.constData();
    EXPECT_TRUE(text.contains(QByteArray("\nExec=\"") + command + "\"\n")) << text.constData();
  }
  qunsetenv("XDG_CONFIG_HOME");
  // Without an X display there is no foreground window to report.
  EXPECT_EQ(desktop->foregroundTitle(), "");
}

}  // namespace
}  // namespace quorvalis
