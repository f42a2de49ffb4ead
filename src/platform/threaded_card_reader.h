// The card reader on a thread of its own: a mute card, a stopped service, an unplugged reader or
// a hanging driver keeps that thread waiting, never the screens. A call waits for its answer in
// a local event loop, so keys, touches, painting and timers go on meanwhile.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

#include "platform/card_reader.h"

namespace quorvalis {

// Every call to the real reader runs on the one worker thread, in the order the calls were made:
// a call made while another waits (a key or a timer inside the wait) queues behind it, and each
// caller gets its own answer. The reader is made and destroyed on that thread too, so whatever
// it keeps (the helper's process, the service's context) never changes threads.
class ThreadedCardReader : public CardReader {
 public:
  using Factory = std::function<std::unique_ptr<CardReader>()>;
  // How long the destructor, or a wait the program's end cut short, waits for a call in a driver.
  static constexpr int kJoinMs = 3000;
  // The longest a call is waited for. Every reader bounds its own calls well below this (the
  // helper's 2 s, the service's non-blocking status); only a driver hung in process reaches it.
  // The reader then counts as missing, without queuing calls behind the hung one, until the
  // driver comes back.
  static constexpr int kCallLimitMs = 10000;

  explicit ThreadedCardReader(Factory make, int joinMs = kJoinMs, int callLimitMs = kCallLimitMs);
  explicit ThreadedCardReader(std::unique_ptr<CardReader> reader, int joinMs = kJoinMs,
                              int callLimitMs = kCallLimitMs);
  ~ThreadedCardReader() override;
  ThreadedCardReader(const ThreadedCardReader&) = delete;
  ThreadedCardReader& operator=(const ThreadedCardReader&) = delete;

  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;
  bool busy() const override { return waiting_ > 0; }
  // Threads whose driver had not come back when their reader was destroyed and that still run.
  static int threadsLeftBehind();

 private:
  struct Call;

  void post(std::function<void()> task);

  QThread* thread_;
  QObject* worker_;  // lives on thread_; runs the calls in the order posted
  std::shared_ptr<std::unique_ptr<CardReader>> reader_;  // the real reader, touched on thread_ only
  int joinMs_;
  int callLimitMs_;
  int waiting_ = 0;
  std::shared_ptr<std::atomic<bool>> stuck_;  // a call given up on is still in the driver
};

}  // namespace quorvalis
