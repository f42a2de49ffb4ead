#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>

#include "demo_branch.h"

namespace quorvalis::testing {

using RedemptionE2E = DemoBranchTest<QtPrinterSystem>;

// The demo's valid coupon redeemed with real HTTP and the real CUPS printers.
TEST_F(RedemptionE2E, CouponIsDeletedPrintedAndLogged) {
  if (QProcess::execute("lpstat", {"-p", "BON", "Standard"}) != 0) GTEST_SKIP() << "run scripts/setup-printers.sh";
  const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
  clock.set(QDateTime::currentDateTime());
  const QString today = clock.now().date().toString("dd.MM.yyyy");
  EXPECT_EQ(coupon("1234", true), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt ! / Freigetränk an der Bar"));
  EXPECT_EQ(zentrale.query("SELECT redeemed FROM coupons WHERE code = '1234'").value(0).value(0), today);
  EXPECT_EQ(readBytes("coupons.ini"), (today + ";1234;00491711234567;5\r\n").toLatin1());

  // cups-pdf writes the job into ~/PDF while it runs: its text once it reads as a whole.
  const QString pdfs = QString::fromLocal8Bit(getpwuid(getuid())->pw_dir) + "/PDF/";
  QString text;
  EXPECT_TRUE(QTest::qWaitFor([&] {
    for (const QFileInfo& f : QDir(pdfs).entryInfoList({"quorvalis_Quittung_1234*.pdf"}, QDir::Files, QDir::Time))
      if (f.lastModified() >= started && QProcess::execute("pdftotext", {f.filePath(), path("receipt.txt")}) == 0 &&
          (text = QString::fromUtf8(readBytes("receipt.txt")).simplified()).contains("A B C D E F"))
        return true;
    return false;
  }, 30000)) << "no receipt in " << pdfs.toStdString();
  for (const char* expected : {"quorvalis - Tarvendel Coupons - System", "- Quittung -", "über : 5,- EURO",
                               "von : ___________________ 12345 Bar Nord Demo", "Handynummer : 0171 1234567"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in: " << text.toStdString();
  // The same coupon again: the server says it is gone.
  EXPECT_EQ(coupon("1234", false), QString::fromUtf8("Der Gutschein wurde bereits am ") + today + QString::fromUtf8(" eingelöst !"));
}

}  // namespace quorvalis::testing
