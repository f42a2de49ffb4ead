// The reader stand-in as the tests drive it: its card file, and the cardsim command over it.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

namespace quorvalis::testing {

// Points the library and the command at a card file of the test's own while it lives.
class CardsimFile {
 public:
  explicit CardsimFile(const QString& path) { qputenv("CARDSIM_FILE", path.toLocal8Bit()); }
  ~CardsimFile() { qunsetenv("CARDSIM_FILE"); }
  CardsimFile(const CardsimFile&) = delete;
  CardsimFile& operator=(const CardsimFile&) = delete;
};

inline void cardsim(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(CARDSIM_BINARY), args);
  ASSERT_TRUE(p.waitForFinished(10000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
}

}  // namespace quorvalis::testing
