// Message boxes, behind a seam so tests can read and answer them.
#pragma once

#include <QString>

namespace quorvalis {

class Dialogs {
 public:
  enum Buttons { kOk, kYesNo, kOkCancel };
  enum Answer { kAnswerOk, kAnswerYes, kAnswerNo, kAnswerCancel };
  virtual ~Dialogs() = default;
  virtual Answer message(const QString& text, const QString& title, Buttons buttons = kOk) = 0;
};

class MessageBoxDialogs : public Dialogs {
 public:
  Answer message(const QString& text, const QString& title, Buttons buttons) override;
};

}  // namespace quorvalis
