#include "platform/threaded_card_reader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutex>
#include <QPointer>
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

ThreadedCardReader::ThreadedCardReader(Factory make, int joinMs)
    : thread_(new QThread), worker_(new QObject), reader_(std::make_shared<std::unique_ptr<CardReader>>()),
      joinMs_(joinMs) {
  thread_->setObjectName(QStringLiteral("card reader"));
  worker_->moveToThread(thread_);
  thread_->start();
  post([reader = reader_, make = std::move(make)] { *reader = make(); });
}

ThreadedCardReader::ThreadedCardReader(std::unique_ptr<CardReader> reader, int joinMs)
    : ThreadedCardReader(
          [held = std::make_shared<std::unique_ptr<CardReader>>(std::move(reader))] { return std::move(*held); },
          joinMs) {}

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
  auto call = std::make_shared<Call>();
  QPointer<QCoreApplication> app = QCoreApplication::instance();
  post([reader = reader_, call, app, cmd, dataIn, outLen] {
    CardResult result;
    if (*reader) result = (*reader)->command(cmd, dataIn, outLen);
    else result.dataOut = QString(std::max(outLen, 0), u' ');
    const QMutexLocker lock(&call->mutex);
    call->result = std::move(result);
    call->done = true;
    call->finished.wakeAll();
    // Wakes the caller's wait on its own thread; a wait already gone is not touched.
    if (!call->abandoned && app)
      QMetaObject::invokeMethod(app, [call] {
        if (call->loop) call->loop->quit();
      }, Qt::QueuedConnection);
  });

  ++waiting_;
  const bool inLoop = app && app->thread() == QThread::currentThread();
  if (inLoop) {
    QEventLoop loop;
    {
      const QMutexLocker lock(&call->mutex);
      if (!call->done) call->loop = &loop;
    }
    if (call->loop) loop.exec();
    call->loop = nullptr;
  }
  --waiting_;
  // Done by now, unless the program's end cut the loop short: then a bounded wait, and a call
  // still in the driver after it counts as no reader. Without a loop to run, a plain wait.
  const QMutexLocker lock(&call->mutex);
  const QDeadlineTimer limit = inLoop ? QDeadlineTimer(joinMs_) : QDeadlineTimer(QDeadlineTimer::Forever);
  while (!call->done && call->finished.wait(&call->mutex, limit)) {
  }
  if (!call->done) {
    call->abandoned = true;
    CardResult none;
    none.dataOut = QString(std::max(outLen, 0), u' ');
    return none;
  }
  return call->result;
}

}  // namespace quorvalis
