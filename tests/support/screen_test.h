// Screen tests: the services as doubles, the band's state, and a screen's controls by their names.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <memory>

#include "fakes.h"
#include "program_folder_test.h"

namespace quorvalis::testing {

inline QString label(const QWidget& screen, const QString& name) { return screen.findChild<QLabel*>(name)->text(); }
inline void fill(QWidget& screen, const QStringList& values) {
  for (int i = 0; i < values.size(); ++i)
    screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
}

// Held: how the test holds its screen (a kept screen belongs to the band's KeptScreen).
template <class Screen, class Held = std::unique_ptr<Screen>>
class ScreenTest : public ProgramFolderTest {
 protected:
  template <class T = QWidget> T* child(const QString& name) { return screen->template findChild<T*>(name); }
  bool shown(const QString& name) { return !child(name)->isHidden(); }
  QString label(const QString& name) { return testing::label(*screen, name); }
  QLineEdit* data(int i) { return child<QLineEdit>(QStringLiteral("DATA_%1").arg(i)); }
  void fill(const QStringList& values) { testing::fill(*screen, values); }
  QStringList requestsFor(const std::function<void()>& action) {  // of the central server
    fakes.server.requests.clear();
    action();
    return fakes.server.requests;
  }

  FakeServices fakes;
  TerminalState state = bandState();
  Held screen{};
};

}  // namespace quorvalis::testing
