#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>
#include <functional>

#include "cardsim_control.h"
#include "club/club_card.h"
#include "club/club_screen.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

using Reader = testing::MemoryCardReader;
const QString kSearch = "/quorvalis/DATA/clubsearch.cgi?B---";
const QString kAnna = "00491711234567";
const QString kAnnaRecord = "00491711234567;Anna;Muster;Gold;04.12.2026";
const QString kMaxRecord = "00491609876543;Max;Beispiel;;04.12.2026";
const QString kAlready = "Clubmitglied - Anna Muster ist bereits angemeldet.";
const QString kNotWritten = "Die Karte konnte nicht beschrieben werden.";

// A touch that reaches the window like a real one: it lands on whatever is at that place when
// the program gets round to it.
void queueClick(QWidget* target) {
  QWidget* top = target->window();
  const QPointF at = target->mapTo(top, target->rect().center());
  for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                               std::pair{QEvent::MouseButtonRelease, Qt::NoButton}})
    QCoreApplication::postEvent(top->windowHandle(),
                                new QMouseEvent(type, at, top->mapToGlobal(at), Qt::LeftButton,
                                                buttons, Qt::NoModifier));
}

class ClubScreenTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    fakes.server.reply(kSearch + kAnna, "00491711234567;Anna;Muster;Gold");
    fakes.server.reply(kSearch + "00491609876543", "00491609876543;Max;Beispiel;");
    QDir().mkpath(path("data/12"));
  }
  ClubScreen& open() {
    screen = std::make_unique<ClubScreen>(*services, state);
    screen->show();
    return *screen;
  }
  template <class T = QWidget>
  T* child(const char* name) { return screen->findChild<T*>(name); }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  QString label(const char* name) { return child<QLabel>(name)->text(); }
  bool shown(const char* name) { return !child(name)->isHidden(); }
  QStringList lines() {
    QStringList all;
    for (auto* item : child<QListWidget>("angemeldet2")->findItems("*", Qt::MatchWildcard)) all << item->text();
    return all;
  }
  QByteArray dayFile() { return readBytes("data/12/4.ini"); }
  QByteArray visitLog() { return readBytes("data/12/4t.ini"); }
  void typeAndCheckIn(const QString& prefix, const QString& number) {
    data(0)->setText(prefix);
    data(1)->setText(number);
    screen->cmdEnterNum_Click();
    screen->search_Click();
  }
  void select(int row) {
    child<QListWidget>("angemeldet2")->setCurrentRow(row);
    screen->angemeldet2_Click();
  }
  void insertClubCard(Reader& card, const QString& length) {
    card.memory.fill(QChar(0xFF));
    card.put(1, "quorva");
    card.put(10, "AB12CD34EF56");
    card.put(28, length);
    card.put(30, kAnna);
    card.status = kStatusActive;
  }

  testing::FakeServices fakes;
  Services* services = &fakes.services;
  TerminalState state = testing::bandState();
  std::unique_ptr<ClubScreen> screen;
};

TEST_F(ClubScreenTest, ReaderStatesAsTheyFollowEachOther) {
  const QString ready = " Chipkartenleser bereit.";
  const auto out = [](Reader& r) { r.status = kStatusWait; };
  const auto same = [](Reader&) {};
  const struct {
    const char* what;
    std::function<void(Reader&)> reader;
    QString chipmess, karte, hinweis;
    int beeps;     // so far
    QString nr;    // cl.ini [temp] nr
    int searches;  // so far
  } steps[] = {
      {"no card", out, ready, "", "", 1, "", 0},
      {"still no card", same, ready, "", "", 1, "", 0},
      {"reader not ready", [](Reader& r) { r.status = kStatusError; },
       " Fehler ! Chipkartenleser nicht bereit.", "", "", 1, "", 0},
      {"unreadable card", [](Reader& r) { r.status = kStatusInvalid; },
       " Lesefehler - bitte noch einmal einstecken !", "", "", 1, "", 0},
      {"own card", [this](Reader& r) { insertClubCard(r, "14"); }, " Karte erkannt.", "quorva",
       "Anna Muster", 2, kAnna, 1},
      {"own card read once", same, " Karte erkannt.", "quorva", "Anna Muster", 2, kAnna, 1},
      {"taken out", out, ready, "", "", 3, "", 1},
      {"blank card", [](Reader& r) { r.memory.fill(QChar(0xFF)); r.status = kStatusActive; },
       " Leere Karte erkannt !", "leer", "", 3, "", 1},
      {"out again", out, ready, "", "", 4, "", 1},
      {"foreign card", [](Reader& r) { r.put(1, "OTHERC"); r.status = kStatusActive; },
       " Diese Karte wird nicht unterstützt !", "???", "", 4, "", 1},
      {"out", out, ready, "", "", 5, "", 1},
      // Initialised but not issued: "0" and an erased byte in the length field.
      {"card without number", [this](Reader& r) { insertClubCard(r, QString("0") + QChar(0xFF)); },
       " Karte unbekannt.", "quorva", "", 5, "", 1},
      {"reader library gone", [](Reader& r) { r.missing = true; },
       " Kein Kartenlesegerät installiert !", "quorva", "", 5, "", 1},
  };
  open();
  EXPECT_EQ(label("chipmess"), " Moment bitte...");
  for (const auto& s : steps) {
    s.reader(fakes.cardReader);
    screen->timer1Tick();
    EXPECT_EQ(label("chipmess"), s.chipmess) << s.what;
    EXPECT_EQ(screen->cardState(), s.karte) << s.what;
    EXPECT_EQ(label("Hinweis"), s.hinweis) << s.what;
    EXPECT_EQ(fakes.desktop.beeps, s.beeps) << s.what;
    EXPECT_EQ(readSetting(keys::kTempNr), s.nr) << s.what;
    EXPECT_EQ(fakes.server.requests.size(), s.searches) << s.what;
  }
  EXPECT_EQ(screen->presentRecords(), QStringList{kAnnaRecord});
}

TEST_F(ClubScreenTest, TypedNumbersAreCheckedThenSent) {
  const struct {
    QString prefix, number;
    int emptied;   // the field the check empties, -1 when both pass
    QString sent;
  } cases[] = {
      {"0171", "0234567", -1, "00491710234567"}, {"0171", "1234567", -1, "00491711234567"},
      {"0171", "001234", -1, "004917101234"},    {"171", "1234567", 0, ""},
      {"0271", "1234567", 0, ""},                {"01a1", "1234567", 0, ""},
      {"0171", "12345", 1, ""},                  {"0171", "12 456", 1, ""},
  };
  for (const auto& c : cases) {
    fakes.server.requests.clear();
    open();
    typeAndCheckIn(c.prefix, c.number);
    const std::string at = (c.prefix + "/" + c.number).toStdString();
    EXPECT_EQ(fakes.server.requests, c.emptied < 0 ? QStringList{kSearch + c.sent} : QStringList()) << at;
    // The failing field is emptied, the other keeps what was typed.
    if (c.emptied >= 0) {
      EXPECT_EQ(data(c.emptied)->text(), "") << at;
      EXPECT_EQ(data(1 - c.emptied)->text(), c.emptied == 0 ? c.number : c.prefix) << at;
    }
  }
}

TEST_F(ClubScreenTest, LookUpOutcomes) {
  const QString noAnswer = "Bitte überprüfen Sie die Internetverbindung.";
  const struct {
    QString reply, hint;
    int present;  // 0: the typed number stays for another try
    QString record;
  } cases[] = {{"-", "Nummer / Karte unbekannt !", 0, ""},
               {"", noAnswer, 0, ""},
               {"<html>File Not Found</html>", noAnswer, 0, ""},
               {"00491711234567;Anna", noAnswer, 0, ""},
               // Blanks come as %20; further fields and lines are not part of the record.
               {"00491711234567;Anna%20Lena;Muster;Gold;x\r\nnext;line", "Anna Lena Muster", 1,
                "00491711234567;Anna Lena;Muster;Gold;04.12.2026"}};
  for (const auto& c : cases) {
    fakes.server.reply(kSearch + kAnna, c.reply);
    open();
    typeAndCheckIn("0171", "1234567");
    EXPECT_EQ(label("Hinweis"), c.hint) << c.reply.toStdString();
    EXPECT_EQ(data(1)->text(), c.present ? "" : "1234567") << c.reply.toStdString();
    EXPECT_EQ(screen->presentRecords(), c.present ? QStringList{c.record} : QStringList())
        << c.reply.toStdString();
  }
}

TEST_F(ClubScreenTest, CheckInCheckOutAndTheirFiles) {
  open();
  typeAndCheckIn("0171", "1234567");
  typeAndCheckIn("0160", "9876543");
  typeAndCheckIn("0171", "1234567");
  EXPECT_EQ(label("Hinweis"), kAlready);
  EXPECT_EQ(screen->presentRecords(), (QStringList{kAnnaRecord, kMaxRecord}));
  EXPECT_EQ(lines().value(1), "Max - Beispiel - --------------------------------------- - "
                              "14:30:05 - 04.12.2026 - 00491609876543");
  EXPECT_EQ(dayFile(), (kAnnaRecord + "\r\n" + kMaxRecord + "\r\n").toLatin1());
  EXPECT_EQ(visitLog(), "00491711234567;Anna;Muster;04.12.2026;14:30:05\r\n"
                        "00491609876543;Max;Beispiel;04.12.2026;14:30:05\r\n");

  select(0);
  EXPECT_EQ(screen->selectedNumber(), kAnna);
  EXPECT_TRUE(shown("Karte_zu"));
  screen->abmelden_Click();
  screen->abmelden_Click();  // a second touch has no member selected any more
  EXPECT_EQ(screen->presentRecords(), QStringList{kMaxRecord});
  EXPECT_EQ(lines().size(), 1);
  EXPECT_EQ(dayFile(), (kMaxRecord + "\r\n").toLatin1());
  EXPECT_FALSE(shown("abmelden"));

  fakes.clock.set(QDateTime(QDate(2026, 12, 4), QTime(15, 0, 0)));
  typeAndCheckIn("0171", "1234567");  // back again: a second visit
  EXPECT_TRUE(visitLog().endsWith("\r\n00491711234567;Anna;Muster;04.12.2026;15:00:00\r\n"));
  EXPECT_EQ(visitLog().count('\n'), 3);
}

TEST_F(ClubScreenTest, DayFileIsReadForTodayOnly) {
  writeBytes("data/12/4.ini", (kAnnaRecord + "\r\nshort;line\r\n00491609876543;Max;Beispiel;;"
                               "04.12.2025\r\n" + kAnnaRecord + "\r\n" + kMaxRecord + "\n").toLatin1());
  open();
  EXPECT_EQ(screen->presentRecords(), (QStringList{kAnnaRecord, kAnnaRecord, kMaxRecord}));
  // Check-out takes every record of the member, also the one right after a removed one.
  select(0);
  screen->abmelden_Click();
  EXPECT_EQ(screen->presentRecords(), QStringList{kMaxRecord});
  EXPECT_TRUE(lines().value(0).endsWith("00491609876543") && lines().size() == 1) << lines().join('|').toStdString();
  EXPECT_EQ(dayFile(), (kMaxRecord + "\r\n").toLatin1());

  writeBytes("data/12/4.ini", "00491609876543;Max;Beispiel;;04.12.2025\r\n");  // last year
  open();
  EXPECT_TRUE(screen->presentRecords().isEmpty());
  EXPECT_EQ(dayFile(), "");
}

TEST_F(ClubScreenTest, KeysWithdrawTheOffers) {
  open();
  typeAndCheckIn("0171", "1234567");
  select(0);
  screen->DATA_GotFocus(1);
  child<QPushButton>("cmdNumeric_4")->click();
  EXPECT_EQ(data(1)->text(), "4");
  EXPECT_FALSE(shown("Karte_zu"));
  EXPECT_EQ(label("Hinweis"), "");
  data(0)->setText("0171");
  data(1)->setText("1234567");
  child<QPushButton>("cmdEnterNum")->click();
  EXPECT_TRUE(shown("search"));
  child<QPushButton>("numclear")->click();
  EXPECT_EQ(data(1)->text(), "");
  EXPECT_FALSE(shown("search"));
}

TEST_F(ClubScreenTest, DoubleTouchesActOnce) {
  open();
  data(0)->setText("0171");
  data(1)->setText("1234567");
  screen->cmdEnterNum_Click();
  int readerCallsDuringWait = 0;
  fakes.server.whileWaiting = [&](const QString&) {
    // The second touch, and the reader's tick, come while the server is asked.
    queueClick(child("search"));
    const auto before = fakes.cardReader.commands.size();
    screen->timer1Tick();
    readerCallsDuringWait += static_cast<int>(fakes.cardReader.commands.size() - before);
  };
  queueClick(child("search"));
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(fakes.server.requests.size(), 1);
  EXPECT_EQ(readerCallsDuringWait, 0);
  EXPECT_EQ(visitLog().count('\n'), 1);

  fakes.server.whileWaiting = nullptr;
  typeAndCheckIn("0160", "9876543");
  select(0);
  queueClick(child("abmelden"));
  queueClick(child("abmelden"));
  QCoreApplication::processEvents();
  EXPECT_EQ(screen->presentRecords(), QStringList{kMaxRecord});
}

TEST_F(ClubScreenTest, EraseWritesFiveBlocksInOrderAndStopsAtAFailure) {
  const QStringList order{"Card,MemWrite,1,6", "Card,MemWrite,10,6", "Card,MemWrite,20,6",
                          "Card,MemWrite,28,6", "Card,MemWrite,34,6"};
  for (int failAt = 0; failAt <= 5; ++failAt) {
    fakes.cardReader = Reader();
    fakes.cardReader.failWriteAt = failAt;
    open();
    screen->del_Karte_Click();
    EXPECT_EQ(fakes.cardReader.writeCommands(), failAt == 0 ? order : order.mid(0, failAt)) << failAt;
    EXPECT_EQ(label("Hinweis"), failAt == 0 ? "Chipkarte wurde gelöscht." : "Fehler beim löschen der Karte.");
  }
}

TEST_F(ClubScreenTest, IssuedCardCarriesLengthAndNumberAndChecksTheMemberIn) {
  const struct {
    QString key, length, name;
  } cases[] = {{"004917123;Eva;Probe;", "09", "Eva Probe"},
               {"00491711234567;Anna;Muster;Gold", "14", "Anna Muster"}};
  for (const auto& c : cases) {
    const QString number = c.key.section(';', 0, 0);
    fakes.server.reply(kSearch + number, c.key);
    writeBytes("data/12/4.ini", (c.key + ";04.12.2026\r\n").toLatin1());
    fakes.cardReader = Reader();
    fakes.cardReader.status = kStatusActive;  // a blank card
    open();
    select(0);
    screen->Karte_zu_Click();
    const QString memory(fakes.cardReader.memory.data(), 256);
    EXPECT_EQ(memory.mid(1, 6) + memory.mid(28, 2) + memory.mid(30, number.size()),
              "quorva" + c.length + number);
    EXPECT_EQ(fakes.cardReader.writeCommands().last(), "Card,MemWrite,30," + QString::number(number.size()));
    EXPECT_TRUE(screen->polling());
    EXPECT_FALSE(shown("Karte_zu"));  // one touch, one card
    screen->timer1Tick();             // the new card of a member already present
    EXPECT_EQ(label("Hinweis"), "Clubmitglied - " + c.name + " ist bereits angemeldet.");
    EXPECT_EQ(screen->presentRecords().size(), 1);
  }
}

TEST_F(ClubScreenTest, PollingResumesHoweverIssuingEnds) {
  const struct {
    const char* what;
    std::function<void(Reader&, QLineEdit* prefix, QLineEdit* number)> setUp;
    QString karte, hinweis;
  } cases[] = {
      {"initialisation fails", [](Reader& r, auto, auto) { r.failWriteAt = 7; }, "---", kNotWritten},
      {"an entry field is empty", [](Reader&, auto p, auto) { p->clear(); }, "", "Chipkarte wurde gelöscht."},
      {"number too short", [](Reader&, auto, auto n) { n->setText("1"); }, "", "Handynummer ???"},
      {"number write fails", [](Reader& r, auto, auto) { r.failWriteAt = 10; }, "---", kNotWritten},
      {"no reader library", [](Reader& r, auto, auto) { r.missing = true; }, "---", kNotWritten},
  };
  for (const auto& c : cases) {
    fakes.cardReader = Reader();
    fakes.cardReader.status = kStatusActive;
    open();
    data(0)->setText("0171");
    data(1)->setText("1234567");
    c.setUp(fakes.cardReader, data(0), data(1));
    screen->Karte_zu_Click();  // no member chosen: the typed number
    EXPECT_TRUE(screen->polling()) << c.what;
    EXPECT_EQ(screen->cardState(), c.karte) << c.what;
    EXPECT_EQ(label("Hinweis"), c.hinweis) << c.what;
  }
}

// The reader stand-in loaded as the real library, over a card file of the test's own.
class ClubCardsimTest : public ClubScreenTest {
 protected:
  void SetUp() override {
    ClubScreenTest::SetUp();
    services = &withLibrary;
  }
  testing::CardsimFile card{path("card")};
  LibraryCardReader reader{QStringLiteral(SCARD_LIBRARY)};
  Services withLibrary{fakes.clock, fakes.server, reader, fakes.desktop, fakes.dialogs, fakes.printers};
};

TEST_F(ClubCardsimTest, IssuedCardIsReadBackByTheNextPoll) {
  open();
  typeAndCheckIn("0171", "1234567");
  testing::cardsim({"blank"});
  screen->timer1Tick();
  EXPECT_EQ(label("chipmess"), " Leere Karte erkannt !");
  select(0);
  screen->Karte_zu_Click();
  const QString number = cardRead(reader, 10, 6) + cardRead(reader, 20, 6);
  EXPECT_TRUE(QRegularExpression("^[0-9A-Z]{12}$").match(number).hasMatch()) << number.toStdString();
  EXPECT_EQ(cardRead(reader, 1, 6) + cardRead(reader, 28, 2) + cardRead(reader, 30, 14), "quorva14" + kAnna);
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis"), kAlready);
  EXPECT_EQ(readSetting(keys::kTempNr), kAnna);
  screen->del_Karte_Click();
  EXPECT_TRUE(isBlankCard(reader));
}

}  // namespace
}  // namespace quorvalis
