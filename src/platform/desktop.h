// What the terminal asks of the desktop it runs on: the foreground window, the pointer,
// starting programs, the autostart entry. One implementation per platform, chosen at build time.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

namespace quorvalis {

class HeldProgram;

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual QSize screenSize() = 0;             // primary screen, pixels
  virtual QString foregroundTitle() = 0;      // "" when unknown
  virtual void setCursorPos(QPoint pixels) = 0;  // Qt's device-independent pixels
  // Absolute move in normalised coordinates, 0..65535 across the screen.
  virtual void mouseMoveNormalised(int x, int y) = 0;
  virtual void mouseClick(int button) = 0;    // 1 left, 2 right, 4 middle: down and up
  virtual bool startProgram(const QString& program, const QStringList& args) = 0;
  // Starts a checked program exactly as it was checked; false when nothing started.
  virtual bool startHeld(HeldProgram& program) = 0;
  virtual void startOnScreenKeyboard() = 0;
  // The command the desktop starts at login; a command that does not exist starts nothing.
  virtual void setAutostart(const QString& command) = 0;
  virtual QString autostart() = 0;  // the command stored, "" when there is none
  virtual void beep() = 0;
  // The program ends as it planned to (the guard does not restart it); reason goes to the log.
  virtual void endProgram(const QString& reason) = 0;
  // The release the system's package manager installed and keeps up to date ("" where the
  // terminal fetches its own updates).
  virtual QString packagedRelease() = 0;
  // The program file on disk is no longer the one running: the package manager replaced it.
  virtual bool programReplaced() = 0;
  // Ends the program so that its guard starts the new one at once; false (and nothing happens)
  // when no guard would.
  virtual bool restartIntoNewProgram(const QString& reason) = 0;
};

// The desktop of this build's platform, for the program of this release name.
std::unique_ptr<Desktop> createDesktop(const QString& release);

// The executable's name in the program folder.
QString executableName();

}  // namespace quorvalis
