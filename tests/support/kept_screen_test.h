// Screen tests over the band's kept entry screens, and what such a screen shows and runs, line by
// line, to compare it opened again with a screen opened new.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>

#include "keyboard/entry_screen.h"
#include "screen_test.h"

namespace quorvalis::testing {

// Each named control's visibility, place, enabled state, text, check, value and style; the
// stacking of the screen's own controls; the focused control; the timers.
inline QStringList screenState(const QWidget& screen) {
  const auto place = [](const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  };
  const QWidget* focused = screen.focusWidget();
  QStringList stack;
  for (const QObject* child : screen.children()) if (child->isWidgetType()) stack << child->objectName();
  QStringList lines{"focus " + (focused ? focused->objectName() : "-"),
                    "screen at " + place(screen.geometry()), "stack " + stack.join(u' ')};
  for (const QWidget* w : screen.findChildren<QWidget*>()) {
    if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")))
      continue;  // Qt's own parts of a control
    QString line = w->objectName() + (w->isHidden() ? " hidden" : " shown") + " at " +
                   place(w->geometry()) + (w->isEnabled() ? "" : " disabled");
    for (const char* property : {"text", "checked", "undoAvailable", "modified", "value", "count", "styleSheet"})
      if (const QVariant v = w->property(property); v.isValid()) line += QStringLiteral(" %1 %2").arg(property, v.toString());
    lines << line;
  }
  for (const QTimer* t : screen.findChildren<QTimer*>())
    lines << t->objectName() + (t->isActive() ? " every " + QString::number(t->interval()) : " stopped");
  return lines;
}

// Opens the screen through `open` (modal, as the band does), runs `inside` once it is the active
// window, and returns when it has closed.
inline void whileOpen(QDialog& screen, const std::function<void()>& open, const std::function<void()>& inside) {
  QTimer::singleShot(0, &screen, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowActive(&screen));
    inside();
    screen.reject();
  });
  open();
}

// As one text, so that a failure shows the lines that differ (GoogleTest's diff of two texts).
inline std::string asText(const QStringList& state) { return state.join(u'\n').toStdString(); }

// A screen test over the band's kept screen: each open() opens it again and compares it, line by
// line in order, with a screen made new and opened the same way, so every case also checks that
// nothing of the case before stays on it. The test ends by closing it, which leaves no timer
// running, and opening it once more as the band does, exactly as a screen made new opens.
template <class Screen>
class KeptScreenTest : public ScreenTest<Screen, Screen*> {
 protected:
  using ScreenTest<Screen, Screen*>::fakes, ScreenTest<Screen, Screen*>::state, ScreenTest<Screen, Screen*>::screen;
  void open() {
    const bool reused = kept.screen() != nullptr;
    QStringList fresh;
    if (reused) {
      Screen made(fakes.services, state);
      made.show();
      fresh = screenState(made) << kept_(made);
    }
    kept.prepare();
    screen = kept.screen();
    screen->hide();
    screen->reset();
    screen->show();
    if (reused) {
      EXPECT_EQ(asText(screenState(*screen) << kept_(*screen)), asText(fresh)) << "opened again";
    }
  }
  void TearDown() override {
    if (screen) {
      screen->hide();
      for (const QTimer* t : screen->template findChildren<QTimer*>()) EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
      Screen made(fakes.services, state);
      QStringList again, fresh;
      // The new one first: between two openings another window (the band) is active, as in use.
      whileOpen(made, [&] { made.exec(); }, [&] { fresh = screenState(made) << kept_(made); });
      whileOpen(*screen, [&] { kept.exec(); }, [&] { again = screenState(*screen) << kept_(*screen); });
      EXPECT_EQ(asText(again), asText(fresh));  // opened again, opened new
    }
    ProgramFolderTest::TearDown();
  }
  void settings(const QByteArray& clients) { this->writeBytes("filialini.ini", "[clients]\r\n" + clients); }

  KeptScreen<Screen> kept{[this] { return std::make_unique<Screen>(fakes.services, state); }};
  std::function<QString(const Screen&)> kept_;  // what the screen holds beyond what it shows
};

}  // namespace quorvalis::testing
