#include "platform/input_wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace quorvalis {
namespace {

class InputDrop : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TouchCancel:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::ContextMenu:
        return true;
      default:
        return QObject::eventFilter(watched, event);
    }
  }
};

}  // namespace

void runWithoutInput(QEventLoop& loop) {
  InputDrop drop;
  QCoreApplication::instance()->installEventFilter(&drop);
  loop.exec();
  QCoreApplication::instance()->removeEventFilter(&drop);
}

}  // namespace quorvalis
