#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"
#include "shell/start_form.h"

namespace quorvalis {
namespace {

class StartFormTest : public testing::ProgramFolderTest {
 protected:
  template <class T = QWidget>
  T* child(const char* name) { return form->findChild<T*>(name); }
  // cl.ini's log and ID, then the box and the field as the form shows them.
  QString seen() {
    const bool ticked = child<QCheckBox>("Check1")->isChecked();
    return readSetting(keys::kLog) + "/" + readSetting(keys::kId) + (ticked ? " [x] " : " [ ] ") + form->branchId();
  }
  testing::FakeServices fakes;
  std::unique_ptr<StartForm> form = std::make_unique<StartForm>(fakes.services);
};

TEST_F(StartFormTest, RememberedIdLogsInAtOnceOnlyWhenLongerThanFive) {
  const struct { const char* file; bool autoLogin; const char* seen; } cases[] = {
      {"log=1\r\nID=ABCDE", false, "1/ABCDE [x] ABCDE"}, {"log=1\r\nID=ABCDEF", true, "1/ABCDEF [x] ABCDEF"},
      {"log=0\r\nID=ABCDEF", false, "0/ABCDEF [ ] "},    {"log=1", false, "1/ [x] "}};
  for (const auto& c : cases) {
    writeBytes("cl.ini", QByteArray("[start]\r\n") + c.file + "\r\n");
    form = std::make_unique<StartForm>(fakes.services);
    EXPECT_EQ(form->load(), c.autoLogin) << c.file;
    EXPECT_EQ(seen(), c.seen) << c.file;
  }
}

// Both need an ID: on an empty field the box unticks itself. Unticking it forgets the ID.
TEST_F(StartFormTest, LoginAndRememberBoxNeedAnId) {
  QSignalSpy login(form.get(), &StartForm::login);
  QTest::mouseClick(child("Command1"), Qt::LeftButton);
  child<QCheckBox>("Check1")->click();
  EXPECT_FALSE(exists("cl.ini"));
  child<QLineEdit>("Text1")->setText("FIL001");
  child<QCheckBox>("Check1")->click();
  EXPECT_EQ(seen(), "1/FIL001 [x] FIL001");
  QTest::mouseClick(child("Command1"), Qt::LeftButton);
  QTest::mouseClick(child("tasta2"), Qt::LeftButton);
  EXPECT_EQ(login.count(), 1);
  EXPECT_EQ(login.value(0).value(0).toString() + " " + QString::number(fakes.desktop.keyboards), "FIL001 1");
  child<QCheckBox>("Check1")->click();
  EXPECT_EQ(seen(), "0/ [ ] ");
}

}  // namespace
}  // namespace quorvalis
