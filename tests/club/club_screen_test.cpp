#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
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

const QString kSearch = "/quorvalis/DATA/clubsearch.cgi?B---";
const QString kAnna = "00491711234567";
const QString kMax = "00491609876543";
const QString kAnnaRecord = "00491711234567;Anna;Muster;Gold;04.12.2026";
const QString kMaxRecord = "00491609876543;Max;Beispiel;;04.12.2026";
const QString kAlready = QString::fromUtf8("Clubmitglied - Anna Muster ist bereits angemeldet.");

// A touch that reaches the window like a real one: it lands on whatever is at that place when
// the program gets round to it.
void queueClick(QWidget* target) {
  QWidget* top = target->window();
  const QPointF at = target->mapTo(top, target->rect().center());
  const QPointF global = top->mapToGlobal(at);
  QCoreApplication::postEvent(top->windowHandle(),
                              new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                              Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(top->windowHandle(),
                              new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

class ClubScreenTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    fakes.server.reply(kSearch + kAnna, "00491711234567;Anna;Muster;Gold");
    fakes.server.reply(kSearch + kMax, "00491609876543;Max;Beispiel;");
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
    auto* list = child<QListWidget>("angemeldet2");
    for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
    return all;
  }
  QByteArray dayFile() { return readBytes("data/12/4.ini"); }
  void writeDayFile(const QString& text) {
    QDir().mkpath(path("data/12"));
    writeBytes("data/12/4.ini", text.toLatin1());
  }
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
  void insertClubCard(const QString& number) {
    auto& card = fakes.cardReader;
    card.memory.fill(QChar(0xFF));
    card.put(1, "quorva");
    card.put(10, "AB12CD34EF56");
    card.put(28, lengthField(static_cast<int>(number.size())));
    card.put(30, number);
    card.status = kStatusActive;
  }

  void removeClubFiles() { QDir(path("data")).removeRecursively(); }

  testing::FakeServices fakes;
  Services* services = &fakes.services;
  TerminalState state = testing::bandState();
  std::unique_ptr<ClubScreen> screen;
};

TEST_F(ClubScreenTest, ReaderStatesAsTheyFollowEachOther) {
  using Reader = testing::MemoryCardReader;
  const struct {
    const char* what;
    std::function<void(Reader&)> reader;
    QString chipmess, karte;
    int beeps;                 // beeps so far
    QString nr;                // cl.ini [temp] nr afterwards
    int searches;              // look-ups so far
  } steps[] = {
      {"no card", [](Reader& r) { r.status = kStatusWait; }, " Chipkartenleser bereit.", "", 1, "", 0},
      {"still no card", [](Reader&) {}, " Chipkartenleser bereit.", "", 1, "", 0},
      {"reader not ready", [](Reader& r) { r.status = kStatusError; },
       " Fehler ! Chipkartenleser nicht bereit.", "", 1, "", 0},
      {"unreadable card", [](Reader& r) { r.status = kStatusInvalid; },
       " Lesefehler - bitte noch einmal einstecken !", "", 1, "", 0},
      {"own card", [this](Reader&) { insertClubCard(kAnna); }, " Karte erkannt.", "quorva", 2, kAnna, 1},
      {"own card read once", [](Reader&) {}, " Karte erkannt.", "quorva", 2, kAnna, 1},
      {"taken out", [](Reader& r) { r.status = kStatusWait; }, " Chipkartenleser bereit.", "", 3, "", 1},
      {"blank card", [](Reader& r) { r.memory.fill(QChar(0xFF)); r.status = kStatusActive; },
       " Leere Karte erkannt !", "leer", 3, "", 1},
      {"out again", [](Reader& r) { r.status = kStatusWait; }, " Chipkartenleser bereit.", "", 4, "", 1},
      {"foreign card", [](Reader& r) { r.put(1, "OTHERC"); r.status = kStatusActive; },
       QString::fromUtf8(" Diese Karte wird nicht unterstützt !"), "???", 4, "", 1},
      {"out", [](Reader& r) { r.status = kStatusWait; }, " Chipkartenleser bereit.", "", 5, "", 1},
      // An initialised card: "0" and an erased byte in the length field, no number.
      {"card without number", [this](Reader& r) { insertClubCard(kAnna); r.put(28, QString("0") + QChar(0xFF)); },
       " Karte unbekannt.", "quorva", 5, "", 1},
      {"reader library gone", [](Reader& r) { r.missing = true; },
       QString::fromUtf8(" Kein Kartenlesegerät installiert !"), "quorva", 5, "", 1},
  };
  open();
  EXPECT_EQ(label("chipmess"), " Moment bitte...");
  for (const auto& s : steps) {
    s.reader(fakes.cardReader);
    screen->timer1Tick();
    EXPECT_EQ(label("chipmess"), s.chipmess) << s.what;
    EXPECT_EQ(screen->cardState(), s.karte) << s.what;
    EXPECT_EQ(fakes.desktop.beeps, s.beeps) << s.what;
    EXPECT_EQ(readSetting(keys::kTempNr), s.nr) << s.what;
    EXPECT_EQ(fakes.server.requests.size(), s.searches) << s.what;
  }
  EXPECT_EQ(screen->presentRecords(), QStringList{kAnnaRecord});
}

TEST_F(ClubScreenTest, RemovedCardEmptiesTheHintOnce) {
  open();
  insertClubCard(kAnna);
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis"), "Anna Muster");
  fakes.cardReader.status = kStatusWait;
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis"), "");
  child<QLabel>("Hinweis")->setText("x");
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis"), "x");
}

TEST_F(ClubScreenTest, TypedNumbersAreCheckedThenSent) {
  const struct {
    QString prefix, number;
    int emptied;      // the field the check empties, -1 when it passes
    QString sent;     // the number looked up
  } cases[] = {
      {"0171", "0234567", -1, "00491710234567"},
      {"0171", "1234567", -1, "00491711234567"},
      {"0171", "001234", -1, "004917101234"},
      {"171", "1234567", 0, ""},
      {"0271", "1234567", 0, ""},
      {"01a1", "1234567", 0, ""},
      {"0171", "12345", 1, ""},
      {"0171", "12 456", 1, ""},
  };
  for (const auto& c : cases) {
    fakes.server.requests.clear();
    open();
    data(0)->setText(c.prefix);
    data(1)->setText(c.number);
    screen->cmdEnterNum_Click();
    EXPECT_EQ(shown("search"), c.emptied < 0) << c.prefix.toStdString() << "/" << c.number.toStdString();
    if (c.emptied >= 0) {
      EXPECT_EQ(data(c.emptied)->text(), "");
      EXPECT_EQ(data(1 - c.emptied)->text(), c.emptied == 0 ? c.number : c.prefix);
      continue;
    }
    screen->search_Click();
    EXPECT_EQ(fakes.server.requests, QStringList{kSearch + c.sent});
    EXPECT_FALSE(shown("search"));
  }
}

TEST_F(ClubScreenTest, LookUpOutcomes) {
  const struct {
    QString reply;
    QString hint;
    bool fieldsKept;
  } cases[] = {
      {"-", "Nummer / Karte unbekannt !", true},
      {"", QString::fromUtf8("Bitte überprüfen Sie die Internetverbindung."), true},
      {"00491711234567;Anna", QString::fromUtf8("Bitte überprüfen Sie die Internetverbindung."), true},
      {"00491711234567;Anna;Muster;Gold", "Anna Muster", false},
  };
  for (const auto& c : cases) {
    fakes.server.reply(kSearch + kAnna, c.reply);
    removeClubFiles();
    open();
    typeAndCheckIn("0171", "1234567");
    EXPECT_EQ(label("Hinweis"), c.hint) << c.reply.toStdString();
    EXPECT_EQ(data(1)->text().isEmpty(), !c.fieldsKept) << c.reply.toStdString();
    EXPECT_EQ(screen->presentRecords().size(), c.fieldsKept ? 0 : 1) << c.reply.toStdString();
  }
}

TEST_F(ClubScreenTest, CheckInCheckOutAndTheirFiles) {
  open();
  typeAndCheckIn("0171", "1234567");
  typeAndCheckIn("0160", "9876543");
  typeAndCheckIn("0171", "1234567");  // already present
  EXPECT_EQ(label("Hinweis"), kAlready);
  EXPECT_EQ(screen->presentRecords(), (QStringList{kAnnaRecord, kMaxRecord}));
  EXPECT_EQ(lines().value(1),
            "Max - Beispiel - --------------------------------------- - 14:30:05 - 04.12.2026 - "
            "00491609876543");
  EXPECT_EQ(dayFile(), (kAnnaRecord + "\r\n" + kMaxRecord + "\r\n").toLatin1());
  EXPECT_EQ(visitLog(), "00491711234567;Anna;Muster;04.12.2026;14:30:05\r\n"
                        "00491609876543;Max;Beispiel;04.12.2026;14:30:05\r\n");

  select(0);
  EXPECT_EQ(screen->selectedNumber(), kAnna);
  EXPECT_TRUE(shown("abmelden"));
  EXPECT_TRUE(shown("Karte_zu"));
  screen->abmelden_Click();
  screen->abmelden_Click();  // a second touch has no member selected any more
  EXPECT_EQ(screen->presentRecords(), QStringList{kMaxRecord});
  EXPECT_EQ(lines().size(), 1);
  EXPECT_EQ(dayFile(), (kMaxRecord + "\r\n").toLatin1());
  EXPECT_FALSE(shown("abmelden"));

  fakes.clock.set(QDateTime(QDate(2026, 12, 4), QTime(15, 0, 0)));
  typeAndCheckIn("0171", "1234567");  // back again: a second visit
  EXPECT_TRUE(visitLog().endsWith("00491711234567;Anna;Muster;04.12.2026;15:00:00\r\n"));
  EXPECT_EQ(visitLog().count('\n'), 3);
}

TEST_F(ClubScreenTest, DayFileIsReadForTodayOnly) {
  writeDayFile(kAnnaRecord + "\r\n" + "short;line\r\n" +
               "00491609876543;Max;Beispiel;;04.12.2025\r\n" + kAnnaRecord + "\r\n" + kMaxRecord +
               "\n");
  open();
  EXPECT_EQ(screen->presentRecords(), (QStringList{kAnnaRecord, kAnnaRecord, kMaxRecord}));
  EXPECT_EQ(lines().size(), 3);
  // Check-out takes every record of the member, also the one right after a removed one.
  select(0);
  screen->abmelden_Click();
  EXPECT_EQ(screen->presentRecords(), QStringList{kMaxRecord});
  EXPECT_EQ(lines(), QStringList{lines().value(0)});
  EXPECT_TRUE(lines().value(0).endsWith(kMax));
  EXPECT_EQ(dayFile(), (kMaxRecord + "\r\n").toLatin1());

  writeDayFile("00491609876543;Max;Beispiel;;04.12.2025\r\n");
  open();
  EXPECT_TRUE(screen->presentRecords().isEmpty());
  EXPECT_EQ(dayFile(), "");
}

TEST_F(ClubScreenTest, DigitsWithdrawTheOffers) {
  open();
  typeAndCheckIn("0171", "1234567");
  select(0);
  data(0)->setFocus();
  screen->DATA_GotFocus(1);
  EXPECT_TRUE(shown("Karte_zu"));
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
  int ticksDuringWait = 0;
  fakes.server.whileWaiting = [&](const QString&) {
    // The second touch, and the reader's tick, arrive while the server is asked.
    queueClick(child("search"));
    fakes.cardReader.commands.clear();
    screen->timer1Tick();
    ticksDuringWait += static_cast<int>(fakes.cardReader.commands.size());
  };
  queueClick(child("search"));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(fakes.server.requests.size(), 1);
  EXPECT_EQ(ticksDuringWait, 0);
  EXPECT_EQ(screen->presentRecords().size(), 1);
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
  const QString erased = erasedBytes(6);
  const QStringList order{"Card,MemWrite,1,6", "Card,MemWrite,10,6", "Card,MemWrite,20,6",
                          "Card,MemWrite,28,6", "Card,MemWrite,34,6"};
  for (int failAt = 0; failAt <= 5; ++failAt) {
    fakes.cardReader = testing::MemoryCardReader();
    fakes.cardReader.failWriteAt = failAt;
    open();
    screen->del_Karte_Click();
    EXPECT_EQ(fakes.cardReader.writeCommands(), failAt == 0 ? order : order.mid(0, failAt)) << failAt;
    EXPECT_EQ(label("Hinweis"), failAt == 0 ? QString::fromUtf8("Chipkarte wurde gelöscht.")
                                            : QString::fromUtf8("Fehler beim löschen der Karte."));
  }
}

TEST_F(ClubScreenTest, IssuedCardCarriesLengthAndNumberAndChecksTheMemberIn) {
  const struct {
    QString number, length, name;
  } cases[] = {{"004917123", "09", "Eva Probe"}, {kAnna, "14", "Anna Muster"}};
  for (const auto& c : cases) {
    const QString key = c.number + ";" + c.name.section(' ', 0, 0) + ";" + c.name.section(' ', 1) + ";";
    fakes.server.reply(kSearch + c.number, key);
    writeDayFile(key + ";04.12.2026\r\n");
    fakes.cardReader = testing::MemoryCardReader();
    fakes.cardReader.status = kStatusActive;  // a blank card
    open();
    select(0);
    screen->Karte_zu_Click();
    const QString memory = QString(fakes.cardReader.memory.data(), 256);
    EXPECT_EQ(memory.mid(1, 6), "quorva");
    EXPECT_EQ(memory.mid(28, 2), c.length);
    EXPECT_EQ(memory.mid(30, c.number.size()), c.number);
    EXPECT_EQ(fakes.cardReader.writeCommands().last(),
              "Card,MemWrite,30," + QString::number(c.number.size()));
    EXPECT_TRUE(screen->polling());
    EXPECT_FALSE(shown("Karte_zu"));  // one touch, one card
    screen->timer1Tick();  // the new card of a member already present
    EXPECT_EQ(label("Hinweis"), "Clubmitglied - " + c.name + " ist bereits angemeldet.");
    EXPECT_EQ(screen->presentRecords().size(), 1);
  }
}

TEST_F(ClubScreenTest, PollingResumesHoweverIssuingEnds) {
  const struct {
    const char* what;
    std::function<void(testing::MemoryCardReader&, QLineEdit*, QLineEdit*)> setUp;
    QString karte, hinweis;
  } cases[] = {
      {"initialisation fails", [](auto& r, auto, auto) { r.failWriteAt = 7; }, "---",
       "Die Karte konnte nicht beschrieben werden."},
      {"an entry field is empty", [](auto&, auto p, auto) { p->clear(); }, "",
       QString::fromUtf8("Chipkarte wurde gelöscht.")},
      {"number too short", [](auto&, auto p, auto n) { p->setText("0171"); n->setText("1"); }, "",
       "Handynummer ???"},
      {"number write fails", [](auto& r, auto, auto) { r.failWriteAt = 10; }, "---",
       "Die Karte konnte nicht beschrieben werden."},
  };
  for (const auto& c : cases) {
    fakes.cardReader = testing::MemoryCardReader();
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

TEST_F(ClubScreenTest, WithoutReaderLibraryTheScreenWorksByNumber) {
  fakes.cardReader.missing = true;
  open();
  screen->timer1Tick();
  EXPECT_EQ(label("chipmess"), QString::fromUtf8(" Kein Kartenlesegerät installiert !"));
  typeAndCheckIn("0171", "1234567");
  EXPECT_EQ(screen->presentRecords(), QStringList{kAnnaRecord});
  select(0);
  screen->Karte_zu_Click();
  EXPECT_EQ(screen->cardState(), "---");
  EXPECT_EQ(label("Hinweis"), "Die Karte konnte nicht beschrieben werden.");
  EXPECT_TRUE(screen->polling());
}

// The reader stand-in loaded as the real library, over a card file of this test's own.
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
  EXPECT_EQ(cardRead(reader, 1, 6), "quorva");
  EXPECT_EQ(cardRead(reader, 28, 2), "14");
  EXPECT_EQ(cardRead(reader, 30, 14), kAnna);
  const QString number = cardRead(reader, 10, 6) + cardRead(reader, 20, 6);
  for (QChar ch : number) EXPECT_TRUE(ch.isDigit() || (ch >= u'A' && ch <= u'Z')) << number.toStdString();
  screen->timer1Tick();
  EXPECT_EQ(label("Hinweis"), kAlready);
  EXPECT_EQ(readSetting(keys::kTempNr), kAnna);

  // Erased, the card is blank again; a protected card stops at the first write.
  screen->del_Karte_Click();
  EXPECT_TRUE(isBlankCard(reader));
  testing::cardsim({"club", kAnna});
  testing::cardsim({"protect"});
  screen->del_Karte_Click();
  EXPECT_EQ(cardRead(reader, 1, 6), "quorva");
  EXPECT_EQ(label("Hinweis"), QString::fromUtf8("Fehler beim löschen der Karte."));
}

}  // namespace
}  // namespace quorvalis
