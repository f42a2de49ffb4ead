// The parts the entry screens share around their keys: fields with labels, the focus frame,
// the background, the title and the busy and countdown bar.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRect>
#include <QTimer>

namespace quorvalis {

QLabel* makeScreenBackground(QWidget* parent);  // "mainbackgr"
QLabel* makeFocusFrame(QWidget* parent);        // "background", hidden until a field has focus
QLabel* makeTitle(QWidget* parent, const QString& text);  // "Label3"
QProgressBar* makeProgressBar(QWidget* parent);           // "ProgressBar1", hidden
// DATA_i with its data_label_i above it; the screen watches the field's events.
QLineEdit* makeEntryField(QWidget* parent, int index, const QRect& twips, const QString& label,
                          QObject* eventFilter);
// One tick of the busy bar and closing countdown: the bar starts again after 98 while a request
// runs (below 200 ms); at 200 ms and more the tick that finds it above 98 stops the timer and
// answers true: the screen closes now.
bool countdownTick(QProgressBar* bar, QTimer* timer);
// The frame around a focused field: 370 above, 150 left, 520 higher and 300 wider.
void placeFocusFrame(QLabel* frame, const QRect& fieldTwips, QWidget* field);

}  // namespace quorvalis
