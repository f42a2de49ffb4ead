// A reader whose status calls wait at a gate the test opens: a card that answers slowly, as a
// mute card keeps pcsc-lite waiting. Calls go on to a memory card behind it; safe from any thread.
#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <functional>
#include <memory>

#include "fakes.h"

namespace quorvalis::testing {

class GatedCardReader : public CardReader {
 public:
  explicit GatedCardReader(MemoryCardReader& card) : card_(card) {}

  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override {
    QMutexLocker lock(&mutex_);
    threads.append(QThread::currentThread());
    if (cmd == statusCommand() && !open_) {
      ++waiting_;
      // Never opened: the screen was held and nothing could open it.
      if (!opened_.wait(&mutex_, QDeadlineTimer(kSafetyMs))) timedOut = true;
      --waiting_;
    }
    return card_.command(cmd, dataIn, outLen);
  }

  void open() {
    const QMutexLocker lock(&mutex_);
    open_ = true;
    opened_.wakeAll();
  }
  int waiting() {
    const QMutexLocker lock(&mutex_);
    return waiting_;
  }
  QStringList commands() {
    const QMutexLocker lock(&mutex_);
    return card_.commands;
  }

  static constexpr int kSafetyMs = 10000;
  bool timedOut = false;
  QList<QThread*> threads;  // the thread of each call

 private:
  MemoryCardReader& card_;
  QMutex mutex_;
  QWaitCondition opened_;
  bool open_ = false;
  int waiting_ = 0;
};

// Hands calls on to a reader the test keeps; tells when it is made and destroyed, and where.
class ForwardingCardReader : public CardReader {
 public:
  explicit ForwardingCardReader(CardReader& to, std::function<void()> destroyed = {})
      : to_(to), destroyed_(std::move(destroyed)) {}
  ~ForwardingCardReader() override {
    if (destroyed_) destroyed_();
  }
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override {
    return to_.command(cmd, dataIn, outLen);
  }

 private:
  CardReader& to_;
  std::function<void()> destroyed_;
};

}  // namespace quorvalis::testing
