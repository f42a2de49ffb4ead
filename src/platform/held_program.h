// A downloaded program held from its check to its start, so that what was checked is what
// starts. Windows: the file stays open with read sharing only, so nobody can write, replace or
// delete it until the process exists. Elsewhere: its bytes are copied into a sealed memory file
// that nothing can change, and that file is what runs.
#pragma once

#include <QFile>
#include <QString>
#include <memory>

namespace quorvalis {

class HeldProgram {
 public:
  explicit HeldProgram(const QString& file);
  ~HeldProgram();
  HeldProgram(const HeldProgram&) = delete;
  HeldProgram& operator=(const HeldProgram&) = delete;

  bool isOpen() const { return content_.isOpen(); }
  const QString& file() const { return file_; }
  // The held bytes, to be read for the check.
  QIODevice& content() { return content_; }
  // Starts exactly the held bytes, detached, from the file's folder; false when nothing started.
  bool start();

 private:
  QString file_;
  QFile content_;
  int held_ = -1;  // the descriptor that stays open until the start
};

}  // namespace quorvalis
