#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "branch/branch_report.h"
#include "branch/settings_form.h"
#include "cardsim_control.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

const QDate kToday(2026, 12, 4);
const QString kRule(98, u'-');

TEST(BranchReport, LinesCountAndTotal) {
  const QStringList records = reportRecords("04.12.2026;1234;0049171;5\r\n\r\nab\r\n"
                                            "04.12.2026;0042;0049160;7.5\r\n05.12.2026;9;0049;7,5\n");
  EXPECT_EQ(reportLines(records, "Bar Nord", "---", kToday),
            (QStringList{"", "quorvalis -  Filialbericht  -  Bar Nord", "",
                         "Zeitraum :  ---  bis  04.12.2026", kRule,
                         QString::fromUtf8("Gutscheine eingelöst :  3 Stück für insgesamt 19,5 Euro"),
                         kRule, "Details:", "04.12.2026  -  1234  -  0049171  -  5 Euro",
                         "04.12.2026  -  0042  -  0049160  -  7.5 Euro",
                         "05.12.2026  -  9  -  0049  -  7,5 Euro"}));
  EXPECT_EQ(reportLines(reportRecords("ab\r\n\r\n"), "Bar Nord", "---", kToday),
            (QStringList{"", "Keine Daten gefunden !"}));
}

class SettingsFormTest : public testing::ProgramFolderTest {
 protected:
  SettingsForm& open() {
    form = std::make_unique<SettingsForm>(*services, state);
    form->hooks.clubMode = [this](bool on) { clubCalls << on; };
    return *form;
  }
  template <class T = QWidget>
  T* child(const char* name) { return form->findChild<T*>(name); }
  QString label(const char* name) { return child<QLabel>(name)->text(); }

  testing::FakeServices fakes;
  Services* services = &fakes.services;
  TerminalState state = testing::bandState();
  std::unique_ptr<SettingsForm> form;
  QList<bool> clubCalls;
};

TEST_F(SettingsFormTest, BoxesFollowTheSettingsFiles) {
  writeBytes("filialini.ini", "[clients]\r\nwin=1\r\nautomin=0\r\nnomin=1\r\nkats=1\r\n");
  const struct {
    QByteArray cl;
    bool club, eraseShown;
    QString id, printer;
  } cases[] = {
      {"[start]\r\nclub=1\r\nlog=1\r\nID=FIL001\r\n[Settings]\r\nQPrinter=BON\r\n", true, true, "FIL001", "BON"},
      {"[start]\r\nclub=0\r\nlog=0\r\nID=FIL001\r\n", false, false, "", "kein Bondrucker"},
  };
  for (const auto& c : cases) {
    writeBytes("cl.ini", c.cl);
    open();
    EXPECT_EQ(child<QCheckBox>("Check6")->isChecked(), c.club);
    EXPECT_EQ(!child("del_Karte")->isHidden(), c.eraseShown);
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), c.id);
    EXPECT_EQ(label("QPrinter"), c.printer);
    EXPECT_EQ(label("StdPrinter"), "Standard");
    for (const char* name : {"Check2", "Check3", "nomin", "kats", "Check4", "Check5"})
      EXPECT_FALSE(child(name)->isEnabled()) << name;
    const QList<bool> ticked{child<QCheckBox>("Check2")->isChecked(), child<QCheckBox>("Check3")->isChecked(),
                             child<QCheckBox>("nomin")->isChecked(), child<QCheckBox>("kats")->isChecked()};
    EXPECT_EQ(ticked, (QList<bool>{true, false, true, true}));
  }
}

TEST_F(SettingsFormTest, EditableSettingsAreStored) {
  open();
  // The remembered ID: nothing without an ID.
  child<QCheckBox>("Check1")->click();
  EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
  EXPECT_FALSE(exists("cl.ini"));
  child<QLineEdit>("Text1")->setText("FIL002");
  child<QCheckBox>("Check1")->click();
  EXPECT_EQ(readSetting(keys::kId), "FIL002");
  EXPECT_EQ(readSetting(keys::kLog), "1");
  // Club mode switches the club screen and the erase button.
  child<QCheckBox>("Check6")->click();
  EXPECT_EQ(readSetting(keys::kClub), "1");
  EXPECT_FALSE(child("del_Karte")->isHidden());
  child<QCheckBox>("Check6")->click();
  EXPECT_EQ(readSetting(keys::kClub), "0");
  EXPECT_EQ(clubCalls, (QList<bool>{true, false}));
  // The receipt printer: the first entry is none.
  const struct {
    int index;
    const char* stored;
    const char* shown;
  } printers[] = {{2, "BON", "BON"}, {0, "-", "kein Bondrucker"}};
  for (const auto& p : printers) {
    form->qdrucker_Click(p.index);
    EXPECT_EQ(readSetting(keys::kQPrinter), p.stored);
    EXPECT_EQ(label("QPrinter"), p.shown);
  }
  EXPECT_EQ(child<QComboBox>("qdrucker")->itemText(0), "- wie Standard -");
}

TEST_F(SettingsFormTest, ReportPrintsOnlyWithAPrinter) {
  writeBytes("coupons.ini", "04.12.2026;1234;0049171;5\r\n");
  for (const QString& printer : {QString("Standard"), QString()}) {
    fakes.printers.current = printer;
    open().Drucken_Click();
    EXPECT_EQ(label("Hinweis"), printer.isEmpty() ? "Filialbericht konnte nicht gedruckt werden !"
                                                  : "Filialbericht gedruckt.");
  }
  const testing::RecordedDocument& printed = fakes.printers.documents.front();
  EXPECT_TRUE(printed.logo);
  EXPECT_EQ(printed.fontSize, 12);
  EXPECT_TRUE(printed.lines().contains("04.12.2026  -  1234  -  0049171  -  5 Euro"));
}

TEST_F(SettingsFormTest, ResetKeepsTheLogAside) {
  const QByteArray log = "04.12.2026;1234;0049171;5\r\n";
  writeBytes("coupons.ini", log);
  writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
  fakes.dialogs.answer = Dialogs::kAnswerCancel;
  open().Command2_Click();
  EXPECT_EQ(readBytes("coupons.ini"), log);
  EXPECT_EQ(readSetting(keys::kCla), "7");

  // The archive folder cannot be made: nothing is reset.
  writeBytes("data", "a file in the way");
  fakes.dialogs.answer = Dialogs::kAnswerOk;
  form->Command2_Click();
  EXPECT_EQ(label("Hinweis"), QString::fromUtf8("Filialbericht konnte nicht gelöscht werden !"));
  EXPECT_EQ(readBytes("coupons.ini"), log);
  EXPECT_EQ(readSetting(keys::kCll), "---");

  QFile::remove(path("data"));
  form->Command2_Click();
  EXPECT_EQ(label("Hinweis"), QString::fromUtf8("Filialbericht gelöscht !!!"));
  EXPECT_FALSE(exists("coupons.ini"));
  EXPECT_EQ(readBytes("data/berichte/coupons_20261204_143005.ini"), log);
  EXPECT_EQ(readSetting(keys::kCla), "0");
  EXPECT_EQ(form->report(), (QStringList{"", "Keine Daten gefunden !"}));
  EXPECT_EQ(fakes.dialogs.messages.last(), "?: Filialbericht wirklich löschen ?");

  writeBytes("coupons.ini", "05.12.2026;0042;0049160;7.5\r\n");  // reopened after a redemption
  fakes.clock.set(QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
  EXPECT_EQ(open().report().value(3), "Zeitraum :  04.12.2026  bis  05.12.2026");
  EXPECT_EQ(form->report().value(5), QString::fromUtf8("Gutscheine eingelöst :  1 Stück für insgesamt 7,5 Euro"));
}

// The erase on the reader stand-in loaded as the real library.
class SettingsEraseTest : public SettingsFormTest {
 protected:
  void SetUp() override {
    SettingsFormTest::SetUp();
    services = &withLibrary;
    writeBytes("cl.ini", "[start]\r\nclub=1\r\n");
  }
  testing::CardsimFile card{path("card")};
  LibraryCardReader reader{QStringLiteral(SCARD_LIBRARY)};
  Services withLibrary{fakes.clock, fakes.server, reader, fakes.desktop, fakes.dialogs, fakes.printers};
};

TEST_F(SettingsEraseTest, EraseAsksThenWritesAllFiveBlocks) {
  testing::cardsim({"club", "00491711234567"});
  const QString erased(6, QChar(0xFF));
  const struct {
    Dialogs::Answer answer;
    const char* protect;
    QString marker, lengthAndNumber;  // bytes 1-6 and 28-33 afterwards
    const char* message;
    bool buttonShown;
  } cases[] = {
      {Dialogs::kAnswerNo, "unprotect", "quorva", "140049", "Frage: Chipkarte wirklich löschen ?", true},
      {Dialogs::kAnswerYes, "protect", "quorva", "140049", "Fehler: Fehler beim löschen der Karte.", false},
      {Dialogs::kAnswerYes, "unprotect", erased, erased, "Hinweis: Chipkarte wurde gelöscht.", true},
  };
  for (const auto& c : cases) {
    testing::cardsim({c.protect});
    fakes.dialogs.answer = c.answer;
    int cardErased = 0;
    open().hooks.cardErased = [&] { ++cardErased; };
    form->del_Karte_Click();
    EXPECT_EQ(cardRead(reader, 1, 6), c.marker) << c.message;
    EXPECT_EQ(cardRead(reader, 28, 6), c.lengthAndNumber) << c.message;
    EXPECT_EQ(fakes.dialogs.messages.last(), QString::fromUtf8(c.message));
    EXPECT_EQ(!child("del_Karte")->isHidden(), c.buttonShown) << c.message;
    EXPECT_EQ(cardErased, c.buttonShown && c.answer == Dialogs::kAnswerYes ? 1 : 0) << c.message;
  }
  EXPECT_EQ(cardRead(reader, 34, 6), erased);
}

}  // namespace
}  // namespace quorvalis
