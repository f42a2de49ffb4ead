#include <gtest/gtest.h>

#include <QAtomicPointer>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSemaphore>
#include <QTest>
#include <QTimer>

#include "fakes.h"
#include "gated_card_reader.h"
#include "platform/threaded_card_reader.h"

namespace quorvalis::testing {
namespace {

void postKey(QWidget* to, char c) {
  QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier,
                                                QString(QChar::fromLatin1(c))));
}

}  // namespace

// While the status call waits at the gate, keys and timers go on, and calls made from inside the
// wait (a timer's, a key's) reach the card after it, in the order made, each with its own answer.
// The gate opens only from a timer inside the wait: a reader that held the thread never returns.
TEST(ThreadedCardReader, KeysAndTimersGoOnAndCallsMadeMeanwhileKeepTheirOrder) {
  const struct {
    const char* what;
    std::vector<std::function<QString(CardReader&)>> meanwhile;  // each from its own timer
    QStringList answers, order;
  } cases[] = {
      {"nothing else", {}, {}, {statusCommand()}},
      {"a read",
       {[](CardReader& r) { return cardRead(r, 1, 6); }},
       {"quorva"},
       {statusCommand(), readCommand(1, 6)}},
      {"a read, then a write inside its own wait, then a read of what was written",
       {[](CardReader& r) { return cardRead(r, 10, 6); },
        [](CardReader& r) { return QString::number(cardWrite(r, 10, "XYZ")); },
        [](CardReader& r) { return cardRead(r, 10, 6); }},
       {"ABCDEF", "0", "XYZDEF"},
       {statusCommand(), readCommand(10, 6), writeCommand(10, 3), readCommand(10, 6)}},
  };
  for (const auto& c : cases) {
    MemoryCardReader card;
    card.status = kStatusActive;
    card.put(1, "quorva");
    card.put(10, "ABCDEF");
    GatedCardReader gated(card);
    ThreadedCardReader reader(std::make_unique<ForwardingCardReader>(gated));
    QLineEdit field;
    int ticks = 0, busyTicks = 0;
    QString posted;
    QStringList answers(static_cast<qsizetype>(c.meanwhile.size()));  // by the call: the last made returns first
    std::vector<std::unique_ptr<QTimer>> callers;
    for (size_t i = 0; i < c.meanwhile.size(); ++i) {
      auto t = std::make_unique<QTimer>();
      t->setSingleShot(true);
      QObject::connect(t.get(), &QTimer::timeout, [&, i] { answers[static_cast<qsizetype>(i)] = c.meanwhile[i](reader); });
      callers.push_back(std::move(t));
    }
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      ++ticks;
      busyTicks += reader.busy();
      if (ticks <= 20) {
        const char key = static_cast<char>('a' + ticks % 26);
        postKey(&field, key);
        posted += QChar::fromLatin1(key);
      }
      // The calls are made one after another, each from inside the wait of the one before.
      if (ticks % 4 == 0 && static_cast<size_t>(ticks / 4) <= callers.size()) callers[static_cast<size_t>(ticks / 4 - 1)]->start(0);
      if (ticks > 20 && gated.waiting() == 1 && answers.join("").isEmpty() && static_cast<size_t>(ticks / 4) > callers.size())
        gated.open();
    });
    ticker.start();
    const QString status = cardStatus(reader);
    ticker.stop();
    QCoreApplication::sendPostedEvents();

    EXPECT_FALSE(gated.timedOut) << c.what;
    EXPECT_EQ(status, QString::fromLatin1(kStatusActive)) << c.what;
    EXPECT_EQ(field.text(), posted) << c.what << ": every key posted before the answer, delivered before it";
    EXPECT_EQ(posted.size(), 20) << c.what;
    EXPECT_EQ(busyTicks, ticks) << c.what;
    EXPECT_FALSE(reader.busy()) << c.what;
    EXPECT_EQ(answers, c.answers) << c.what;
    EXPECT_EQ(gated.commands(), c.order) << c.what;
  }
}

// The reader is made, called and destroyed on one thread, never the screens' thread.
TEST(ThreadedCardReader, OneThreadOfItsOwnMakesCallsAndDestroysTheReader) {
  MemoryCardReader card;
  GatedCardReader gated(card);
  gated.open();
  QThread* made = nullptr;
  QAtomicPointer<QThread> destroyed;
  {
    ThreadedCardReader reader([&]() -> std::unique_ptr<CardReader> {
      made = QThread::currentThread();
      return std::make_unique<ForwardingCardReader>(gated, [&] { destroyed.storeRelease(QThread::currentThread()); });
    });
    EXPECT_EQ(cardStatus(reader), QString::fromLatin1(kStatusWait));
    EXPECT_EQ(cardWrite(reader, 3, "ab"), 0);
    EXPECT_EQ(cardRead(reader, 3, 2), "ab");
  }
  ASSERT_EQ(gated.threads.size(), 3);
  const QList<QThread*> seen{made, gated.threads[0], gated.threads[1], gated.threads[2], destroyed.loadAcquire()};
  EXPECT_EQ(seen, QList<QThread*>(5, made));
  EXPECT_NE(made, QThread::currentThread());
  EXPECT_NE(made, nullptr);
}

// A driver that does not come back (here: one that hangs while it is loaded) keeps the destructor
// no longer than its bound; the reader is left to finish and is destroyed once it does.
TEST(ThreadedCardReader, DestructionWaitsForAHungDriverOnlyWithinItsBound) {
  for (const bool hangs : {false, true}) {
    QSemaphore release;
    std::atomic<bool> destroyed = false, gaveUp = false;
    MemoryCardReader card;
    {
      ThreadedCardReader reader(
          [&]() -> std::unique_ptr<CardReader> {
            if (hangs && !release.tryAcquire(1, 10000)) gaveUp = true;
            return std::make_unique<ForwardingCardReader>(card, [&] { destroyed = true; });
          },
          200);
    }
    // Joined: the reader is gone with the wrapper. Left behind: the driver has not come back yet.
    EXPECT_EQ(destroyed.load(), !hangs) << hangs;
    EXPECT_EQ(ThreadedCardReader::threadsLeftBehind(), hangs ? 1 : 0);
    release.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed.load(); }, 5000)) << hangs;
    EXPECT_FALSE(gaveUp.load()) << hangs;
    // The thread left behind ends, and its object goes, once the driver is back.
    EXPECT_TRUE(QTest::qWaitFor([] { return ThreadedCardReader::threadsLeftBehind() == 0; }, 5000)) << hangs;
  }
}

// A driver hung in process: its call is given up at the limit and the reader counts as missing,
// at once and without reaching the driver, until the hung call comes back; then calls reach the
// card again. Keys go on throughout.
TEST(ThreadedCardReader, AHungCallIsGivenUpAndTheReaderIsMissingUntilItReturns) {
  MemoryCardReader card;
  GatedCardReader gated(card);
  ThreadedCardReader reader(std::make_unique<ForwardingCardReader>(gated, [] {}), 200, 300);
  QLineEdit keys;
  QTimer typing;
  QObject::connect(&typing, &QTimer::timeout, &keys, [&] { postKey(&keys, 'a'); });
  typing.start(20);
  const struct { const char* step; bool called; int driverCalls; } rows[] = {
      {"hangs", false, 0},         // the status call waits at the gate past the limit
      {"still hung", false, 0},    // answered without the driver
      {"read while hung", false, 0},
      {"back", true, 2},           // the gate opens: the hung call ends, then this one goes through
  };
  for (const auto& r : rows) {
    if (QByteArray(r.step) == "back") {
      gated.open();
      ASSERT_TRUE(QTest::qWaitFor([&] { return gated.commands().size() == 1; }, 5000));
      QTest::qWait(50);  // the hung call's end reaches the wrapper
    }
    const CardResult result = QByteArray(r.step) == "read while hung" ? reader.command(readCommand(1, 2), {}, 2)
                                                                       : reader.command(statusCommand(), {}, 7);
    EXPECT_EQ(result.called, r.called) << r.step;
    EXPECT_EQ(gated.commands().size(), r.driverCalls) << r.step;
  }
  typing.stop();
  EXPECT_GE(keys.text().size(), 5);  // typed while the first call hung: not held
  EXPECT_FALSE(gated.timedOut);
}

}  // namespace quorvalis::testing
