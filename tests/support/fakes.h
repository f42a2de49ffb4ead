// Test doubles of the terminal's services.
#pragma once

#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTimer>
#include <deque>
#include <functional>
#include <tuple>

#include "common/clock.h"
#include "qt_printers.h"
#include "platform/card_reader.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/held_program.h"
#include "platform/input_wait.h"
#include "platform/printer_system.h"
#include "server/central_server.h"
#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis::testing {

class FixedClock : public Clock {
 public:
  QDateTime now() const override { return at; }
  QDateTime at{QDate(2026, 12, 4), QTime(14, 30, 5)};
};

// Answers by path prefix (the longest matching rule wins). Unmatched requests get "" like an
// unreachable server.
class ScriptedCentralServer : public CentralServer {
 public:
  void reply(const QString& prefix, const QString& body) { rules_[prefix] = body; }
  // download() succeeds for these paths and writes the given bytes.
  void offerDownload(const QString& path, const QByteArray& bytes) { downloads_[path] = bytes; }

  QString get(const QString& path) override {
    requests.append(path);
    if (whileWaiting) {
      // What happens while the request waits, inside a wait like the real one: timers fire,
      // touches are dropped.
      ++waiting_;
      QEventLoop loop;
      QTimer::singleShot(0, &loop, [&] {
        whileWaiting(path);
        loop.quit();
      });
      runWithoutInput(loop);
      --waiting_;
    }
    auto best = rules_.end();
    for (auto it = rules_.begin(); it != rules_.end(); ++it)
      if (path.startsWith(it.key()) && (best == rules_.end() || it.key().size() > best.key().size())) best = it;
    return best == rules_.end() ? QString() : *best;
  }

  // Full addresses are scripted and recorded the same way, by their whole text.
  QString getUrl(const QString& url) override { return get(url); }

  bool download(const QString& path, const QString& file, const DownloadLimits& limits) override {
    downloadRequests.append(path + QStringLiteral(" -> ") + file);
    lastLimits = limits;
    const QByteArray bytes = downloads_.value(path);
    if (!downloads_.contains(path) || (limits.maxBytes >= 0 && bytes.size() > limits.maxBytes)) return false;
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
  }

  bool busy() const override { return waiting_ > 0; }

  QStringList requests;
  QStringList downloadRequests;
  DownloadLimits lastLimits;
  std::function<void(const QString& path)> whileWaiting;

 private:
  int waiting_ = 0;
  QMap<QString, QString> rules_;
  QMap<QString, QByteArray> downloads_;
};

// A reader with a 256-byte card in memory; records every command.
class MemoryCardReader : public CardReader {
 public:
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override {
    commands.append(cmd);
    CardResult out;
    out.dataOut = QString(outLen, u' ');
    if (missing) return out;  // no reader library
    out.called = true;
    if (cmd == statusCommand()) {
      out.dataOut = status;
      out.result = 0;
      return out;
    }
    const QStringList parts = cmd.split(u',');
    if (parts.size() != 4) return out;
    const int address = parts[2].toInt(), length = parts[3].toInt();
    if (address < 0 || length < 0 || address + length > 256) return out;
    if (parts[1] == u"MemRead") {
      for (int i = 0; i < length && i < outLen; ++i) out.dataOut[i] = memory[address + i];
      out.result = 0;
    } else if (parts[1] == u"MemWrite") {
      ++writes;
      if (writes == failWriteAt || failWriteAt < 0) return out;
      put(address, dataIn.left(length));
      out.result = 0;
    }
    return out;
  }

  // Puts text into the card memory, as a card written elsewhere would hold it.
  void put(int address, const QString& text) { memory.replace(address, text.size(), text); }

  QString status = QString::fromLatin1(kStatusWait);
  bool missing = false;
  int failWriteAt = 0;  // the n-th write (from 1) fails; -1: every write
  int writes = 0;
  QString memory = QString(256, QChar(0xFF));
  QStringList commands;
};

// Records what the terminal asked of the desktop.
class RecordingDesktop : public Desktop {
 public:
  QSize screenSize() override { return screen; }
  QString foregroundTitle() override { return {}; }
  void setCursorPos(QPoint) override {}
  void mouseMoveNormalised(int, int) override {}
  void mouseClick(int) override {}
  bool startProgram(const QString& program, const QStringList&) override {
    started << program;
    return true;
  }
  // The held bytes are read back, so a test sees what would have run.
  bool startHeld(HeldProgram& program) override {
    if (!program.content().seek(0)) return false;
    startedBytes = program.content().readAll();
    started << program.file();
    return startsHeld;
  }
  void startOnScreenKeyboard() override {}
  void setAutostart(const QString& command) override { autostartCommand = command; }
  QString autostart() override { return autostartCommand; }
  void beep() override { ++beeps; }
  void endProgram(const QString& reason) override {
    ++ended;
    endReason = reason;
  }
  QString packagedRelease() override { return packaged; }
  bool programReplaced() override { return replaced; }
  bool restartIntoNewProgram(const QString& reason) override {
    if (!guarded) return false;
    ++restarts;
    endReason = reason;
    return true;
  }

  QSize screen{1280, 800};
  QStringList started;
  QByteArray startedBytes;
  bool startsHeld = true;
  QString autostartCommand;
  int beeps = 0, ended = 0;
  QString endReason;
  QString packaged;  // "": the terminal fetches its updates itself
  bool replaced = false, guarded = true;
  int restarts = 0;
};

// Records every message box and answers as the test says.
class ScriptedDialogs : public Dialogs {
 public:
  Answer message(const QString& text, const QString& title, Buttons) override {
    messages << title + QStringLiteral(": ") + text;
    return answer;
  }
  Answer answer = kAnswerOk;
  QStringList messages;
};

// A page of a recorded document: the lines as printed, with their positions.
struct RecordedLine {
  QString text;
  double x, y;
};
struct RecordedDocument {
  QString printer, title;
  bool millimetres = false, logo = false;
  int fontSize = 0;
  QList<QList<RecordedLine>> pages{{}};
  bool ended = false;
  QStringList lines() const {
    QStringList all;
    for (const auto& page : pages)
      for (const auto& line : page) all << line.text;
    return all;
  }
};

// A page 200 by 280 with a fixed-width font: every character is 2 wide, every line 5 high, at any
// size, so tests can count where lines break.
class RecordingDocument : public PrintDocument {
 public:
  explicit RecordingDocument(RecordedDocument& doc) : doc_(doc) {}
  void setMillimetres() override { doc_.millimetres = true; }
  void setFont(const QString&, int pointSize) override { doc_.fontSize = pointSize; }
  void drawImage(const QImage&, double, double) override { doc_.logo = true; }
  double textWidth(const QString& text) const override { return text.size() * 2.0; }
  double textHeight(const QString&) const override { return 5; }
  double printableWidth() const override { return 200; }
  double printableHeight() const override { return 280; }
  double currentX() const override { return x_; }
  double currentY() const override { return y_; }
  void setCurrentX(double x) override { x_ = x; }
  void setCurrentY(double y) override { y_ = y; }
  void printLine(const QString& text) override {
    doc_.pages.back().append({text, x_, y_});
    x_ = 0;
    y_ += 5;
  }
  void newPage() override {
    doc_.pages.append(QList<RecordedLine>());
    x_ = y_ = 0;
  }
  bool end() override {
    doc_.ended = true;
    return !doc_.printer.isEmpty();
  }

 private:
  RecordedDocument& doc_;
  double x_ = 0, y_ = 0;
};

// The printers "Standard" and "BON"; records every document.
class RecordingPrinterSystem : public PrinterSystem {
 public:
  QStringList printerNames() override { return {"Standard", "BON"}; }
  QString currentPrinter() override {
    ++asked;
    return current;
  }
  void setCurrentPrinter(const QString& name) override { current = name; }
  std::unique_ptr<PrintDocument> newDocument(const QString& title) override {
    documents.push_back({current, title});
    return std::make_unique<RecordingDocument>(documents.back());
  }

  QString current = "Standard";
  int asked = 0;  // how often the current printer was asked for: each asking loads the print system
  std::deque<RecordedDocument> documents;  // stable references for open documents
};

// What the band hands a screen it opens modally: branch B, postcode 12345, a 1280x800 screen.
inline TerminalState bandState() {
  TerminalState s;
  std::tie(s.quorvalisID, s.quorvalverz, s.HalleName, s.HallePLZ, s.screenW, s.screenH, s.nominimize) =
      std::tuple("B", "demo", "Bar Nord", "12345", "19200", "12000", "1");
  return s;
}

// All services as doubles, ready to hand to a screen.
struct FakeServices {
  FixedClock clock;
  ScriptedCentralServer server;
  MemoryCardReader cardReader;
  RecordingDesktop desktop;
  ScriptedDialogs dialogs;
  RecordingPrinterSystem printers;
  Services services{clock, server, cardReader, desktop, dialogs, printers};
};

}  // namespace quorvalis::testing
