#include "keyboard/entry_widgets.h"

#include "platform/widgets.h"

namespace quorvalis {

QLabel* makeScreenBackground(QWidget* parent) {
  QLabel* l = makeLabel(parent, "mainbackgr");
  l->setStyleSheet(QStringLiteral("background: white; border: 1px solid rgb(0,92,153); border-radius: 8px;"));
  return l;
}

QLabel* makeFocusFrame(QWidget* parent) {
  QLabel* l = makeLabel(parent, "background");
  l->setStyleSheet(QStringLiteral("border: 3px solid rgb(255,170,0); border-radius: 6px;"));
  l->hide();
  return l;
}

QLabel* makeTitle(QWidget* parent, const QString& text) {
  QLabel* l = makeLabel(parent, "Label3", text);
  l->setStyleSheet(QStringLiteral("font: bold 20px 'Arial'; color: rgb(0,62,110);"));
  placeTwips(l, 480, 300, 11000, 500);
  return l;
}

QProgressBar* makeProgressBar(QWidget* parent) {
  auto* bar = makeNamed<QProgressBar>(parent, QStringLiteral("ProgressBar1"));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  bar->hide();
  return bar;
}

QLineEdit* makeEntryField(QWidget* parent, int index, const QRect& twips, const QString& label,
                          QObject* eventFilter) {
  QLabel* caption = makeLabel(parent, qPrintable(QStringLiteral("data_label_%1").arg(index)), label);
  caption->setWordWrap(true);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  caption->setStyleSheet(QStringLiteral("font: 12px 'Arial';"));
  placeTwips(caption, twips.x(), twips.y() - 520, twips.width() + 200, 480);
  auto* edit = makeNamed<QLineEdit>(parent, QStringLiteral("DATA_%1").arg(index));
  edit->setGeometry(twipsToPixels(twips));
  edit->setStyleSheet(QStringLiteral("font: 18px 'Arial';"));
  edit->installEventFilter(eventFilter);
  return edit;
}

bool countdownTick(QProgressBar* bar, QTimer* timer) {
  if (bar->value() > 98) {
    if (timer->interval() >= 200) {
      setTimerInterval(timer, 0);
      bar->hide();
      return true;
    }
    bar->setValue(1);
  }
  bar->setValue(bar->value() + 1);
  return false;
}

void placeFocusFrame(QLabel* frame, const QRect& f, QWidget* field) {
  frame->setGeometry(twipsToPixels(QRect(f.left() - 150, f.top() - 370, f.width() + 300, f.height() + 520)));
  frame->show();
  frame->stackUnder(field);
}

}  // namespace quorvalis
