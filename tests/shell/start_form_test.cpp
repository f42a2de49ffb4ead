#include <QSignalSpy>

#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"
#include "shell/start_form.h"

namespace quorvalis::testing {

class StartFormTest : public ProgramFolderTest {
 protected:
  template <class T> T* child(const char* name) { return form->findChild<T*>(name); }
  // cl.ini's log and ID, then the box and the field as the form shows them.
  QString seen() {
    const bool ticked = child<QCheckBox>("Check1")->isChecked();
    return readSetting(keys::kLog) + "/" + readSetting(keys::kId) + (ticked ? " [x] " : " [ ] ") + form->branchId();
  }
  FakeServices fakes;
  std::unique_ptr<StartForm> form = std::make_unique<StartForm>(fakes.services);
};

// Both need an ID (unticking forgets it); a remembered ID logs in at once only when longer than five.
TEST_F(StartFormTest, LoginAndRememberedId) {
  QSignalSpy login(form.get(), &StartForm::login);
  for (const char* control : {"Command1", "Check1"}) child<QAbstractButton>(control)->click();
  EXPECT_FALSE(exists("cl.ini"));
  child<QLineEdit>("Text1")->setText("FIL001");
  for (const char* control : {"Check1", "Command1"}) child<QAbstractButton>(control)->click();
  EXPECT_EQ(QString::number(login.count()) + " " + login.value(0).value(0).toString() + " " + seen(),
            "1 FIL001 1/FIL001 [x] FIL001");
  child<QCheckBox>("Check1")->click();
  EXPECT_EQ(seen(), "0/ [ ] ");

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

}  // namespace quorvalis::testing
