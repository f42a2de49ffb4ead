#include "branch/branch_report.h"
#include "branch/settings_form.h"
#include "fakes.h"
#include "screen_test.h"
#include "settings/settings_files.h"

namespace quorvalis::testing {

class SettingsFormTest : public ScreenTest<SettingsForm> {
 protected:
  SettingsForm& open() {
    screen = std::make_unique<SettingsForm>(fakes.services, state);
    screen->hooks.clubMode = [this](bool on) { calls << (on ? "club on" : "club off"); };
    screen->hooks.cardErased = [this] { calls << "card erased"; };
    return *screen;
  }
  // The remember and club boxes and the erase button (x: ticked, shown), the ID field, the receipt printer.
  QString seen() {
    QString s;
    for (const char* name : {"Check1", "Check6"}) s += child<QCheckBox>(name)->isChecked() ? "x" : "-";
    s += shown("del_Karte") ? "x " : "- ";
    return s + child<QLineEdit>("Text1")->text() + " " + label("QPrinter");
  }
  void expectShownAndStored(const QString& expected) {
    EXPECT_EQ(seen(), expected);
    open();
    EXPECT_EQ(seen(), expected) << "opened again";
  }

  QStringList calls;  // the hooks called, in order
};

// Ticking the remember box without an ID fails; a form opened afresh reads the settings back.
TEST_F(SettingsFormTest, EditableSettingsAreStored) {
  writeBytes("cl.ini", "[start]\r\nclub=1\r\nlog=1\r\nID=FIL001\r\n[Settings]\r\nQPrinter=BON\r\n");
  open();
  for (const char* box : {"Check1", "Check1", "Check6"}) child<QCheckBox>(box)->click();
  screen->qdrucker_Click(0);  // the first entry is none
  expectShownAndStored("---  kein Bondrucker");
  child<QLineEdit>("Text1")->setText("FIL002");
  for (const char* box : {"Check1", "Check6"}) child<QCheckBox>(box)->click();
  screen->qdrucker_Click(2);
  expectShownAndStored("xxx FIL002 BON");
  EXPECT_EQ(calls, (QStringList{"club off", "club on"}));
}

// The self-test is the technician's: beside the band (no hook) there is no button for it.
TEST_F(SettingsFormTest, SelfTestOnlyBehindThePassword) {
  open().show();
  EXPECT_FALSE(shown("Selbsttest"));
  screen->Selbsttest_Click();
  open();
  // A touch on the button while the checks run starts no second run.
  int runs = 0;
  screen->hooks.selfTest = [&] {
    child<QPushButton>("Selbsttest")->click();
    return QStringLiteral("OK: alles %1").arg(++runs);
  };
  screen->show();
  ASSERT_TRUE(shown("Selbsttest"));
  child<QPushButton>("Selbsttest")->click();
  EXPECT_EQ(fakes.dialogs.messages, (QStringList{"quorvalis Selbsttest: OK: alles 1"}));
}

// Blank and short lines are no records; the total takes either decimal mark.
// Printing needs a printer; a reset needs confirming and the archive folder, and keeps the log there.
TEST_F(SettingsFormTest, ReportLinesPrintingAndResetKeepingTheLogAside) {
  const QString rule(98, u'-');
  const QStringList records = reportRecords("04.12.2026;1234;0049171;5\r\n\r\nab\r\n"
                                            "04.12.2026;0042;0049160;7.5\r\n05.12.2026;9;0049;7,5\n");
  EXPECT_EQ(reportLines(records, "Bar Nord", "---", QDate(2026, 12, 4)),
            (QStringList{"", "quorvalis -  Filialbericht  -  Bar Nord", "", "Zeitraum :  ---  bis  04.12.2026",
                         rule, "Gutscheine eingelöst :  3 Stück für insgesamt 19,5 Euro", rule, "Details:",
                         "04.12.2026  -  1234  -  0049171  -  5 Euro",
                         "04.12.2026  -  0042  -  0049160  -  7.5 Euro", "05.12.2026  -  9  -  0049  -  7,5 Euro"}));
  const QByteArray log = "04.12.2026;1234;0049171;5\r\n";
  writeBytes("coupons.ini", log);
  writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
  writeBytes("data", "a file in the way");  // the archive folder cannot be made
  open().Drucken_Click();
  fakes.printers.current.clear();  // then without a printer
  screen->Drucken_Click();
  ASSERT_FALSE(fakes.printers.documents.empty());
  EXPECT_TRUE(fakes.printers.documents.front().lines().contains("04.12.2026  -  1234  -  0049171  -  5 Euro"));
  EXPECT_EQ(label("Hinweis"), "Filialbericht konnte nicht gedruckt werden !");
  const auto kept = [this] {
    return readBytes("coupons.ini") + (readSetting(keys::kCla) + " " + readSetting(keys::kCll)).toLatin1();
  };
  for (auto answer : {Dialogs::kAnswerCancel, Dialogs::kAnswerOk}) {  // not confirmed, or no archive: no reset
    fakes.dialogs.answer = answer;
    open().Command2_Click();
    EXPECT_EQ(kept(), log + "7 ---");
  }

  QFile::remove(path("data"));
  screen->Command2_Click();
  EXPECT_EQ(kept(), "0 04.12.2026");
  EXPECT_EQ(readBytes("data/berichte/coupons_20261204_143005.ini"), log);
  EXPECT_EQ(screen->report(), (QStringList{"", "Keine Daten gefunden !"}));
}

// Asked first; a card that cannot be written is not tried again.
TEST_F(SettingsFormTest, EraseAsksThenWritesTheCard) {
  writeBytes("cl.ini", "[start]\r\nclub=1\r\n");
  const struct { Dialogs::Answer answer; bool writeFails; QString seen; } cases[] = {  // message | marker | hooks
      {Dialogs::kAnswerNo, false, "Frage: Chipkarte wirklich löschen ? | quorva | "},
      {Dialogs::kAnswerYes, true, "Fehler: Fehler beim löschen der Karte. | quorva | "},
      {Dialogs::kAnswerYes, false, "Hinweis: Chipkarte wurde gelöscht. | " + QString(6, QChar(0xFF)) + " | card erased"}};
  for (const auto& c : cases) {
    fakes.cardReader = MemoryCardReader();
    fakes.cardReader.put(1, "quorva");
    fakes.cardReader.failWriteAt = c.writeFails ? -1 : 0;
    fakes.dialogs.answer = c.answer;
    open().del_Karte_Click();
    const QString marker = fakes.cardReader.memory.mid(1, 6);
    EXPECT_EQ(fakes.dialogs.messages.last() + " | " + marker + " | " + calls.join(","), c.seen);
    EXPECT_EQ(shown("del_Karte"), !c.writeFails) << c.seen.toStdString();
  }
}

}  // namespace quorvalis::testing
