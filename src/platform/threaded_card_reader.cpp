#include "platform/threaded_card_reader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutex>
#include <QPointer>
#include <QTimer>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>

#include "platform/support_log.h"

namespace quorvalis {

namespace {
std::atomic<int> g_leftBehind{0};
}  // namespace

int ThreadedCardReader::threadsLeftBehind() { return g_leftBehind; }

struct ThreadedCardReader::Call {
  QMutex mutex;
  QWaitCondition finished;
  CardResult result;
  bool done = false;
  bool abandoned = false;    // the caller stopped waiting: nothing is posted back
  QEventLoop* loop = nullptr;  // the caller's wait; the caller's thread only
};

ThreadedCardReader::ThreadedCardReader(Factory make, int joinMs, int callLimitMs)
    : thread_(new QThread), worker_(new QObject), reader_(std::make_shared<std::unique_ptr<CardReader>>()),
      joinMs_(joinMs), callLimitMs_(callLimitMs), stuck_(std::make_shared<std::atomic<bool>>(false)) {
  thread_->setObjectName(QStringLiteral("card reader"));
  worker_->moveToThread(thread_);
  thread_->start();
  post([reader = reader_, make = std::move(make)] { *reader = make(); });
}

ThreadedCardReader::ThreadedCardReader(std::unique_ptr<CardReader> reader, int joinMs, int callLimitMs)
    : ThreadedCardReader(
          [held = std::make_shared<std::unique_ptr<CardReader>>(std::move(reader))] { return std::move(*held); },
          joinMs, callLimitMs) {}

void ThreadedCardReader::post(std::function<void()> task) {
  QMetaObject::invokeMethod(worker_, std::move(task), Qt::QueuedConnection);
}

// The reader goes on its own thread after the calls before it. A driver that does not come back
// within the bound is not waited for: its thread and reader are left to the program's end. Ending
// the thread by force could leave the driver's or the C library's locks held for good.
ThreadedCardReader::~ThreadedCardReader() {
  post([reader = reader_, worker = worker_] {
    reader->reset();
    worker->deleteLater();  // at the thread's end
    QThread::currentThread()->quit();
  });
  if (thread_->wait(QDeadlineTimer(joinMs_))) {
    delete thread_;
    return;
  }
  logWarning("reader", QStringLiteral("the card reader's driver did not return within %1 ms; its thread is left to end by itself")
                           .arg(joinMs_));
  // Once the driver comes back the thread ends; its object goes then (on this thread, where it
  // lives). Both the signal and the check below run here, so it is deleted once.
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  ++g_leftBehind;
  QThread* thread = thread_;
  auto cleaned = std::make_shared<bool>(false);
  const auto cleanUp = [thread, cleaned] {
    if (*cleaned) return;
    *cleaned = true;
    thread->wait();
    delete thread;
    --g_leftBehind;
  };
  QObject::connect(thread, &QThread::finished, app, cleanUp, Qt::QueuedConnection);
  if (thread->isFinished()) cleanUp();
}

CardResult ThreadedCardReader::command(const QString& cmd, const QString& dataIn, int outLen) {
  CardResult none;
  none.dataOut = QString(std::max(outLen, 0), u' ');
  // A call still in a hung driver: the reader is missing, and nothing queues behind that call.
  if (stuck_->load()) return none;
  auto call = std::make_shared<Call>();
  QPointer<QCoreApplication> app = QCoreApplication::instance();
  post([reader = reader_, call, app, stuck = stuck_, cmd, dataIn, outLen] {
    CardResult result;
    if (*reader) result = (*reader)->command(cmd, dataIn, outLen);
    else result.dataOut = QString(std::max(outLen, 0), u' ');
    const QMutexLocker lock(&call->mutex);
    call->result = std::move(result);
    call->done = true;
    call->finished.wakeAll();
    if (call->abandoned) stuck->store(false);  // the driver is back
    // Wakes the caller's wait on its own thread; a wait already gone is not touched.
    if (!call->abandoned && app)
      QMetaObject::invokeMethod(app, [call] {
        if (call->loop) call->loop->quit();
      }, Qt::QueuedConnection);
  });

  const QDeadlineTimer callLimit(callLimitMs_);
  ++waiting_;
  const bool inLoop = app && app->thread() == QThread::currentThread();
  if (inLoop) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    {
      const QMutexLocker lock(&call->mutex);
      if (!call->done) call->loop = &loop;
    }
    if (call->loop) {
      limit.start(callLimitMs_);
      loop.exec();
    }
    const QMutexLocker lock(&call->mutex);
    call->loop = nullptr;
  }
  --waiting_;
  // Done by now, unless the limit passed or the program's end cut the loop short: then a wait
  // within both bounds. Without a loop to run, a plain wait within the limit.
  const QMutexLocker lock(&call->mutex);
  const QDeadlineTimer limit =
      inLoop ? QDeadlineTimer(std::min<qint64>(joinMs_, callLimit.remainingTime())) : callLimit;
  while (!call->done && call->finished.wait(&call->mutex, limit)) {
  }
  if (!call->done) {
    call->abandoned = true;
    stuck_->store(true);
    logWarning("reader", QStringLiteral("a card reader call did not return within %1 ms; the reader counts as missing until it does")
                             .arg(callLimitMs_));
    return none;
  }
  return call->result;
}

}  // namespace quorvalis
