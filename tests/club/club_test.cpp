#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>
#include <algorithm>

#include "club/club_card.h"
#include "club/club_rules.h"
#include "club/club_screen.h"
#include "fakes.h"
#include "gated_card_reader.h"
#include "platform/screen_host.h"
#include "platform/threaded_card_reader.h"
#include "program_folder_test.h"
#include "screen_test.h"
#include "settings/settings_files.h"

namespace quorvalis::testing {

using ClubRules = ProgramFolderTest;

// No leading zeros in file names. Card draws landing on ':' or '@' are redrawn; a fixed seed would repeat.
TEST_F(ClubRules, FileNamesAndCardNumberDigits) {
  EXPECT_EQ(dayFilePath(QDate(2027, 1, 9)) + " " + visitLogPath(QDate(2027, 3, 31)),
            path("data/1/9.ini") + " " + path("data/3/31t.ini"));
  const QList<double> draws{10.0 / 43, 16.5 / 43, 17.0 / 43, 0.0, 9.99 / 43, 42.99 / 43, 0.0, 42.99 / 43};
  qsizetype next = 0;
  const QString drawn = cardNumberHalf([&] { return draws[next++]; });
  EXPECT_EQ(drawn + " from " + QString::number(next) + " draws", "A09Z0Z from 8 draws");

  QString seen;
  for (int i = 0; i < 500; ++i) seen += cardNumberHalf(systemUniformDraw());
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(seen, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

const QString kSearch = "/quorvalis/DATA/clubsearch.cgi?B---", kAnna = "00491711234567", kMax = "00491609876543";
const QString kAnnaRecord = kAnna + ";Anna;Muster;Gold;04.12.2026", kMaxRecord = kMax + ";Max;Beispiel;;04.12.2026";

// A touch as the window gets it: it lands on whatever is there when the program gets round to it.
static void queueClick(QWidget* target) {
  QWidget* top = target->window();
  const QPointF at = target->mapTo(top, target->rect().center());
  for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                               std::pair{QEvent::MouseButtonRelease, Qt::NoButton}})
    QCoreApplication::postEvent(top->windowHandle(), new QMouseEvent(type, at, top->mapToGlobal(at),
                                                                     Qt::LeftButton, buttons, {}));
}

class ClubScreenTest : public ScreenTest<ClubScreen> {
 protected:
  ClubScreenTest() {
    fakes.server.reply(kSearch + kAnna, kAnna + ";Anna;Muster;Gold");
    fakes.server.reply(kSearch + kMax, kMax + ";Max;Beispiel;");
    QDir().mkpath(path("data/12"));
  }
  // A fresh screen over a fresh reader with a blank card in it; its n-th write fails (0: none).
  void open(int failWriteAt = 0, bool noLibrary = false) {
    fakes.cardReader = MemoryCardReader();
    fakes.cardReader.status = kStatusActive;
    fakes.cardReader.failWriteAt = failWriteAt;
    fakes.cardReader.missing = noLibrary;
    screen = std::make_unique<ClubScreen>(fakes.services, state);
    screen->show();
  }
  QListWidget* list() { return child<QListWidget>("angemeldet2"); }
  void type(const QString& typed) { fill({typed.section('/', 0, 0), typed.section('/', 1)}); }  // "prefix/number"
};

// Each step, then a tick: chipmess | card | hint | the number in cl.ini [temp].
TEST_F(ClubScreenTest, ReaderStatesAsTheyFollowEachOther) {
  MemoryCardReader& r = fakes.cardReader;
  const auto status = [&r](const char* s) { return [&r, s] { r.status = s; }; };
  // A card put in, holding this from byte 1 on: the length field is at 28, then the number.
  const auto card = [&r](const QString& text) {
    return [&r, text] { r.memory.fill(QChar(0xFF)); r.put(1, text); r.status = kStatusActive; };
  };
  const QString issued = "quorva" + QString(21, QChar(0xFF));
  const QString ready = " Chipkartenleser bereit. |  |  | ", anna = " Karte erkannt. | quorva | Anna Muster | " + kAnna;
  const struct { const char* what; std::function<void()> change; QString seen; } steps[] = {
      {"no card", status(kStatusWait), ready}, {"still no card", [] {}, ready},
      {"reader not ready", status(kStatusError), " Fehler ! Chipkartenleser nicht bereit. |  |  | "},
      {"unreadable card", status(kStatusInvalid), " Lesefehler - bitte noch einmal einstecken ! |  |  | "},
      {"own card", card(issued + "14" + kAnna), anna}, {"own card read once", [] {}, anna},
      {"taken out", status(kStatusWait), ready}, {"blank card", card(""), " Leere Karte erkannt ! | leer |  | "},
      {"out again", status(kStatusWait), ready},
      {"foreign card", card("OTHERC"), " Diese Karte wird nicht unterstützt ! | ??? |  | "},
      {"out", status(kStatusWait), ready},  // then initialised but not issued: "0" and an erased byte for the length
      {"card without number", card(issued + "0" + QChar(0xFF) + kAnna), " Karte unbekannt. | quorva |  | "},
      {"reader library gone", [&r] { r.missing = true; }, " Kein Kartenlesegerät installiert ! | quorva |  | "},
  };
  open();
  for (const auto& s : steps) {
    s.change();
    screen->timer1Tick();
    const QStringList seen{label("chipmess"), screen->cardState(), label("Hinweis"), readSetting(keys::kTempNr)};
    EXPECT_EQ(seen.join(" | "), s.seen) << s.what;
  }
  EXPECT_EQ(fakes.desktop.beeps, 5);  // for the card read, and each time the reader became ready
  EXPECT_EQ(fakes.server.requests, QStringList{kSearch + kAnna});
  EXPECT_EQ(screen->presentRecords(), QStringList{kAnnaRecord});
}

// A failing field is emptied, the other keeps what was typed; the reply decides what stays.
TEST_F(ClubScreenTest, TypedNumberIsCheckedLookedUpAndCheckedIn) {
  const QString noAnswer = "Bitte überprüfen Sie die Internetverbindung.", anna = "0171/1234567";
  const struct { QString typed, reply, sent, hint, fields, record; } cases[] = {  // reply: to the search for Anna
      {"0171/12345", "", "", "", "0171/", ""}, {anna, "-", kAnna, "Nummer / Karte unbekannt !", anna, ""},
      {"0271/1234567", "", "", "", "/1234567", ""}, {anna, "", kAnna, noAnswer, anna, ""},
      {anna, "<b>File Not Found</b>", kAnna, noAnswer, anna, ""}, {anna, kAnna + ";Anna", kAnna, noAnswer, anna, ""},
      // Blanks come as %20; further fields and lines do not belong to the record.
      {anna, kAnna + ";Anna%20Lena;Muster;Gold;x\r\nnext;line", kAnna, "Anna Lena Muster", "/",
       kAnna + ";Anna Lena;Muster;Gold;04.12.2026"},
  };
  for (const auto& c : cases) {
    fakes.server.requests.clear();
    fakes.server.reply(kSearch + kAnna, c.reply);
    open();
    type(c.typed);
    screen->cmdEnterNum_Click();
    screen->search_Click();
    const QStringList seen{fakes.server.requests.join(",").remove(kSearch), label("Hinweis"),
                           data(0)->text() + "/" + data(1)->text(), screen->presentRecords().join(",")};
    EXPECT_EQ(seen, (QStringList{c.sent, c.hint, c.fields, c.record})) << (c.typed + " " + c.reply).toStdString();
  }
}

// Other days' records and short lines are left out, and the day file is rewritten without them.
TEST_F(ClubScreenTest, DayFileCheckOutAndCheckIn) {
  const QStringList file{kAnnaRecord, "short;line", kMax + ";Max;Beispiel;;04.12.2025", kAnnaRecord, kMaxRecord};
  writeBytes("data/12/4.ini", (file.join("\r\n") + "\n").toLatin1());
  open();
  EXPECT_EQ(readBytes("data/12/4.ini"), (kAnnaRecord + "\r\n" + kAnnaRecord + "\r\n" + kMaxRecord + "\r\n").toLatin1());
  EXPECT_EQ(list()->item(2)->text(), "Max - Beispiel - " + QString(39, '-') + " - 14:30:05 - 04.12.2026 - " + kMax);
  type("0160/9876543");  // found present: no second record, no visit
  screen->cmdEnterNum_Click();
  screen->search_Click();
  list()->setCurrentRow(0);
  screen->angemeldet2_Click();
  EXPECT_TRUE(shown("Karte_zu"));
  type("0171/1");  // a number typed meanwhile withdraws the card for the member
  EXPECT_FALSE(shown("Karte_zu"));
  queueClick(child("abmelden"));
  queueClick(child("abmelden"));  // a second touch has no member selected any more
  EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes("data/12/4.ini") == (kMaxRecord + "\r\n").toLatin1(); }, 5000));
  QCoreApplication::sendPostedEvents();  // the second touch too
  // Every record of the member goes, also the one right after a removed one.
  EXPECT_EQ(readBytes("data/12/4.ini"), (kMaxRecord + "\r\n").toLatin1());
  EXPECT_FALSE(list()->count() != 1 || shown("abmelden"));

  type("0171/1234567");  // Anna back, touched twice
  screen->cmdEnterNum_Click();
  fakes.server.requests.clear();
  qsizetype readerCallsDuringWait = 0;
  fakes.server.whileWaiting = [&](const QString&) {
    queueClick(child("search"));  // the second touch, and the reader's tick, come while the server is asked
    const auto before = fakes.cardReader.commands.size();
    screen->timer1Tick();
    readerCallsDuringWait += fakes.cardReader.commands.size() - before;
  };
  queueClick(child("search"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes("data/12/4.ini").contains(kAnnaRecord.toLatin1()); }, 5000));
  QCoreApplication::sendPostedEvents();  // anything the wait let through would come now
  EXPECT_EQ(fakes.server.requests.size() + readerCallsDuringWait, 1);
  EXPECT_EQ(readBytes("data/12/4.ini"), (kMaxRecord + "\r\n" + kAnnaRecord + "\r\n").toLatin1());
  EXPECT_EQ(readBytes("data/12/4t.ini").count('\n'), 1);
}

// Polling resumes however issuing ends; a card issued gets the number and its length, and the poll reads it.
TEST_F(ClubScreenTest, IssuedCardCarriesLengthAndNumberAndChecksTheMemberIn) {
  const QString anna = "0171/1234567", unwritten = "--- | Die Karte konnte nicht beschrieben werden.";
  const struct { QString typed; int failWriteAt; bool noLibrary; QString seen; } cases[] = {  // card state | hint
      {anna, 1, false, " | Fehler beim löschen der Karte."}, {anna, 7, false, unwritten},  // erase, initialisation
      {"/1234567", 0, false, " | Chipkarte wurde gelöscht."},  {"0171/1", 0, false, " | Handynummer ???"},
      {anna, 10, false, unwritten}, {anna, 0, true, unwritten}};  // the number's write fails; no reader library
  for (const auto& c : cases) {
    open(c.failWriteAt, c.noLibrary);
    type(c.typed);
    screen->Karte_zu_Click();
    EXPECT_EQ(screen->cardState() + " | " + label("Hinweis") + (screen->polling() ? "" : " (not polling)"), c.seen);
  }
  fakes.server.reply(kSearch + "004917123", "004917123;Eva;Probe;");
  writeBytes("data/12/4.ini", "004917123;Eva;Probe;;04.12.2026\r\n");
  open();
  list()->setCurrentRow(0);
  screen->angemeldet2_Click();
  screen->Karte_zu_Click();
  const QString memory = fakes.cardReader.memory;
  EXPECT_EQ(memory.mid(1, 6) + memory.mid(28, 12), "quorva09004917123" + QString(QChar(0xFF)));  // and no more
  EXPECT_TRUE(screen->polling() && !shown("Karte_zu"));
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis") + " | " + screen->presentRecords().join(","),
            "Clubmitglied - Eva Probe ist bereits angemeldet. | 004917123;Eva;Probe;;04.12.2026");
}

// A reader slow to answer (a mute card) holds only its own thread: the digits touched on the
// keypad while the poll waits reach the field before the poll returns, and "search", touched
// meanwhile, is acted on after the poll, as when the reader held the screen.
TEST_F(ClubScreenTest, KeypadTouchesWhileTheReaderIsSlowAllArrive) {
  MemoryCardReader card;  // an empty reader
  GatedCardReader gated(card);
  ThreadedCardReader reader(std::make_unique<ForwardingCardReader>(gated));
  Services services{fakes.clock, fakes.server, reader, fakes.desktop, fakes.dialogs, fakes.printers};
  screen = std::make_unique<ClubScreen>(services, state);
  screen->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
  QTest::qWait(50);  // the window's place settles: touches are aimed by it
  fill({"", "1234567"});
  const QString prefix = "0171";
  QStringList requestsBeforeAnswer;
  int settled = 0;
  bool touched = false;
  QTimer touches;
  touches.setInterval(5);
  QObject::connect(&touches, &QTimer::timeout, [&] {
    if (gated.waiting() == 1 && !touched) {  // the poll waits: touch while it does
      touched = true;
      for (QChar d : prefix) QTest::mouseClick(child(QStringLiteral("cmdNumeric_%1").arg(d)), Qt::LeftButton);
      QTest::mouseClick(child("cmdEnterNum"), Qt::LeftButton);
      QTest::mouseClick(child("search"), Qt::LeftButton);  // shown by Enter
    }
    if (data(0)->text() == prefix && shown("search") && ++settled == 3) {
      requestsBeforeAnswer = fakes.server.requests;
      gated.open();
    }
  });
  touches.start();
  screen->timer1Tick();
  touches.stop();

  EXPECT_FALSE(gated.timedOut);
  EXPECT_EQ(label("chipmess"), " Chipkartenleser bereit.");
  EXPECT_EQ(data(0)->text() + "/" + data(1)->text(), prefix + "/1234567");
  EXPECT_EQ(requestsBeforeAnswer, QStringList{});
  EXPECT_EQ(fakes.server.requests, QStringList{});  // the touch on search waits for the poll's end
  EXPECT_TRUE(QTest::qWaitFor([&] { return !fakes.server.requests.isEmpty(); }, 5000));
  EXPECT_EQ(fakes.server.requests, QStringList{kSearch + kAnna});
  EXPECT_EQ(screen->presentRecords(), QStringList{kAnnaRecord});
  EXPECT_EQ(gated.commands(), QStringList{statusCommand()});
}

// The settings form may unload the club screen while its poll waits for the card: the host lets
// it go at once, and the screen, hidden and no longer polling, is deleted once the poll is over.
TEST_F(ClubScreenTest, UnloadedWhileThePollWaitsGoesOnceThePollIsOver) {
  MemoryCardReader card;
  GatedCardReader gated(card);
  ThreadedCardReader reader(std::make_unique<ForwardingCardReader>(gated));
  Services services{fakes.clock, fakes.server, reader, fakes.desktop, fakes.dialogs, fakes.printers};
  ScreenHost<ClubScreen> host([&] { return new ClubScreen(services, state); });
  host.show();
  const QPointer<ClubScreen> club = host.screen();
  bool unloaded = false, aliveThen = false;
  QTimer settings;
  settings.setInterval(5);
  QObject::connect(&settings, &QTimer::timeout, [&] {
    if (gated.waiting() != 1 || unloaded) return;
    host.unload();
    unloaded = !host.screen();
    aliveThen = !club.isNull();
    gated.open();
  });
  settings.start();
  club->timer1Tick();
  settings.stop();

  EXPECT_FALSE(gated.timedOut);
  EXPECT_TRUE(unloaded && aliveThen);
  ASSERT_FALSE(club.isNull());  // the poll's frame still runs on it
  EXPECT_EQ(testing::label(*club, "chipmess"), " Chipkartenleser bereit.");
  EXPECT_FALSE(club->isVisible() || club->polling());
  EXPECT_TRUE(QTest::qWaitFor([&] { return club.isNull(); }, 5000));
  EXPECT_EQ(gated.commands(), QStringList{statusCommand()});
}

}  // namespace quorvalis::testing
