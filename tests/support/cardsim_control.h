// Programs the tests run to their end, among them the reader stand-in's cardsim over a card file of
// the test's own.
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

// A program run to its end: its exit code, or -1 when it did not start, crashed or outlasted the
// time. What it writes on its error channel goes to the test's.
inline int run(const QString& program, const QStringList& args, int timeoutMs = 10000) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(program, args);
  return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

inline void cardsim(const QStringList& args) {
  ASSERT_EQ(run(QStringLiteral(CARDSIM_BINARY), args), 0) << args.join(u' ').toStdString();
}

}  // namespace quorvalis::testing
