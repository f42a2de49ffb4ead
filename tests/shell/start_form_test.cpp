#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
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
  testing::FakeServices fakes;
  StartForm form{fakes.services};
  QLineEdit* text1() { return form.findChild<QLineEdit*>("Text1"); }
  QCheckBox* check1() { return form.findChild<QCheckBox*>("Check1"); }
};

TEST_F(StartFormTest, RememberedIdLogsInAtOnceOnlyWhenLongerThanFive) {
  const struct {
    const char* file;
    const char* text;
    bool checked;
    bool autoLogin;
  } cases[] = {
      {"[start]\r\nlog=1\r\nID=ABCDE\r\n", "ABCDE", true, false},
      {"[start]\r\nlog=1\r\nID=ABCDEF\r\n", "ABCDEF", true, true},
      {"[start]\r\nlog=0\r\nID=ABCDEF\r\n", "", false, false},
      {"[start]\r\nlog=1\r\n", "", true, false},
  };
  for (const auto& c : cases) {
    writeBytes("cl.ini", c.file);
    StartForm fresh(fakes.services);
    EXPECT_EQ(fresh.load(), c.autoLogin) << c.file;
    EXPECT_EQ(fresh.branchId(), QString::fromLatin1(c.text)) << c.file;
    EXPECT_EQ(fresh.findChild<QCheckBox*>("Check1")->isChecked(), c.checked) << c.file;
  }
}

TEST_F(StartFormTest, LoginWithAnEmptyIdDoesNothing) {
  QSignalSpy login(&form, &StartForm::login);
  QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  EXPECT_EQ(login.count(), 0);
  text1()->setText("FIL001");
  QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  ASSERT_EQ(login.count(), 1);
  EXPECT_EQ(login.at(0).at(0).toString(), "FIL001");
}

TEST_F(StartFormTest, RememberCheckBox) {
  form.show();
  // An empty field: the box unticks itself and nothing is stored.
  QTest::mouseClick(check1(), Qt::LeftButton, {}, QPoint(5, check1()->height() / 2));
  EXPECT_FALSE(check1()->isChecked());
  EXPECT_FALSE(exists("cl.ini"));

  text1()->setText("FIL001");
  QTest::mouseClick(check1(), Qt::LeftButton, {}, QPoint(5, check1()->height() / 2));
  EXPECT_TRUE(check1()->isChecked());
  EXPECT_EQ(readSetting(keys::kLog), "1");
  EXPECT_EQ(readSetting(keys::kId), "FIL001");

  QTest::mouseClick(check1(), Qt::LeftButton, {}, QPoint(5, check1()->height() / 2));
  EXPECT_FALSE(check1()->isChecked());
  EXPECT_EQ(text1()->text(), "");
  EXPECT_EQ(readSetting(keys::kLog), "0");
  EXPECT_EQ(readSetting(keys::kId), "");
  EXPECT_TRUE(readBytes("cl.ini").contains("ID=\r\n"));
}

TEST_F(StartFormTest, KeyboardButtonStartsTheOnScreenKeyboard) {
  QTest::mouseClick(form.findChild<QPushButton*>("tasta2"), Qt::LeftButton);
  EXPECT_EQ(fakes.desktop.keyboards, 1);
}

}  // namespace
}  // namespace quorvalis
