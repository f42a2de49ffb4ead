// Small helpers every screen uses: twips geometry and touchable pictures.
#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <QRect>
#include <QTimer>
#include <QWidget>

namespace quorvalis {

inline constexpr int kTwipsPerPixel = 15;

inline int toPixels(int twips) { return twips / kTwipsPerPixel; }
inline QRect twipsToPixels(const QRect& r) {
  return {toPixels(r.x()), toPixels(r.y()), toPixels(r.width()), toPixels(r.height())};
}
inline void placeTwips(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// A timer's interval as the screens use it: 0 stops the timer.
inline void setTimerInterval(QTimer* timer, int ms) {
  if (ms <= 0) {
    timer->stop();
    timer->setInterval(0);
  } else {
    timer->start(ms);
  }
}

// A child made with its name, which the screens and the tests find it by.
template <class T, class Parent>
T* makeNamed(Parent* parent, const QString& name) {
  auto* child = new T(parent);
  child->setObjectName(name);
  return child;
}

inline QLabel* makeLabel(QWidget* parent, const char* name, const QString& text = {}) {
  auto* l = makeNamed<QLabel>(parent, QString::fromLatin1(name));
  l->setText(text);
  return l;
}

// A picture that reacts to a touch like the pictures of the branch screens.
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
      emit clicked();
    QLabel::mouseReleaseEvent(event);
  }
};

}  // namespace quorvalis
