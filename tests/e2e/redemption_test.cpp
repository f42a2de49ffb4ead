#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "branch/settings_form.h"
#include "coupons/coupon_screen.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "demo_branch.h"
#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis {
namespace {

bool printersInstalled() {
  QProcess lpstat;
  lpstat.start("lpstat", {"-p", "BON", "Standard"});
  return lpstat.waitForFinished(10000) && lpstat.exitCode() == 0;
}

// cups-pdf writes into the printing user's ~/PDF, named after the job.
QString pdfFolder() { return QString::fromLocal8Bit(getpwuid(getuid())->pw_dir) + "/PDF"; }

QString pdfText(const QString& file) {
  QProcess p;
  p.start("pdftotext", {file, "-"});
  p.waitForFinished(20000);
  return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

// Redeems the demo's valid coupon with the real screen, real HTTP and the real CUPS printers.
class RedemptionE2E : public testing::DemoBranchTest<QtPrinterSystem> {
 protected:
  void SetUp() override {
    if (!printersInstalled())
      GTEST_SKIP() << "no CUPS printers Standard and BON: run scripts/setup-printers.sh";
    DemoBranchTest::SetUp();
    clock.set(QDateTime::currentDateTime());
  }

  QString redeem(const QString& code, bool press = true) {
    CouponScreen screen(services, state);
    const QStringList values{"0171", "1234567", code};
    for (int i = 0; i < 3; ++i)
      screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
    screen.cmdEnterNum_Click();
    screen.Datapr_Click();
    if (press) screen.guteinl_Click();
    return screen.findChild<QLabel*>("Label1")->text();
  }

  // The job's PDF once it reads as a whole (cups-pdf writes it while the job runs).
  QString waitForPdf(const QString& job, const QString& lastText = "A B C D E F") {
    QString found;
    (void)QTest::qWaitFor(
        [&] {
          const QStringList files = QDir(pdfFolder()).entryList({job + "*.pdf"}, QDir::Files, QDir::Time);
          for (const QString& f : files)
            if (QFileInfo(pdfFolder() + "/" + f).lastModified() >= started) found = pdfFolder() + "/" + f;
          return !found.isEmpty() && pdfText(found).contains(lastText);
        },
        30000);
    return found;
  }

  QDateTime started = QDateTime::currentDateTime().addSecs(-1);
};

TEST_F(RedemptionE2E, CouponIsDeletedPrintedAndLogged) {
  EXPECT_EQ(redeem("1234"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
  const QString today = clock.now().date().toString("dd.MM.yyyy");

  EXPECT_EQ(zentrale.query("SELECT redeemed FROM coupons WHERE code = '1234'").value(0).value(0), today);
  EXPECT_EQ(readBytes("coupons.ini"), (today + ";1234;00491711234567;5\r\n").toLatin1());

  const QString pdf = waitForPdf("quorvalis_Quittung_1234");
  ASSERT_FALSE(pdf.isEmpty()) << "no receipt in " << pdfFolder().toStdString();
  const QString text = pdfText(pdf);
  for (const char* expected :
       {"quorvalis - Tarvendel Coupons - System", "- Quittung -", "über : 5,- EURO",
        "von : ___________________ 12345 Bar Nord Demo", "Handynummer : 0171 1234567",
        "dankend erhalten", "Name Servicepersonal", "A B C D E F"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in: " << text.toStdString();

  // The same coupon again: the server says it is gone.
  EXPECT_EQ(redeem("1234", false),
            QString::fromUtf8("Der Gutschein wurde bereits am ") + today + QString::fromUtf8(" eingelöst !"));
}

TEST_F(RedemptionE2E, ReceiptPrinterGetsTheSlip) {
  writeBytes("cl.ini", "[Settings]\r\nQPrinter=BON\r\n");
  EXPECT_EQ(redeem("0042"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
  const QString pdf = waitForPdf("quorvalis_Quittung_0042");
  ASSERT_FALSE(pdf.isEmpty());
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.startsWith("quorvalis - System")) << text.toStdString();
  EXPECT_TRUE(text.contains("Tarvendel Coupons")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("für Handynr. : 0171 1234567"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("über: 7.5,- EURO"))) << text.toStdString();
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(printers.currentPrinter(), "Standard");
}

TEST_F(RedemptionE2E, BranchReportListsTheRedemptionAndPrints) {
  // A coupon no other test prints, so the PDF folder holds one job of this kind.
  ASSERT_EQ(redeem("5678"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
  SettingsForm form(services, state);
  const QString today = clock.now().date().toString("dd.MM.yyyy");
  const QString line = today + "  -  5678  -  00491711234567  -  0 Euro";
  EXPECT_EQ(form.report().value(8), line);
  form.Drucken_Click();
  EXPECT_EQ(form.findChild<QLabel*>("Hinweis")->text(), "Filialbericht gedruckt.");
  const QString pdf = waitForPdf("quorvalis_Filialbericht", line.simplified());
  ASSERT_FALSE(pdf.isEmpty()) << "no report in " << pdfFolder().toStdString();
  const QString text = pdfText(pdf);
  for (const QString& expected :
       {QString("quorvalis - Filialbericht - Bar Nord Demo"), "Zeitraum : --- bis " + today,
        QString::fromUtf8("Gutscheine eingelöst : 1 Stück für insgesamt 0 Euro"), QString("Details:")})
    EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in: " << text.toStdString();
}

}  // namespace
}  // namespace quorvalis
