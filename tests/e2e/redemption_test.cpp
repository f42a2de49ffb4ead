#include <QDir>
#include <QPrinterInfo>
#include <QProcess>

#include "demo_branch.h"

namespace quorvalis::testing {

using RedemptionE2E = DemoBranchTest<QtPrinterSystem>;

// The demo's valid coupon redeemed with real HTTP and the real CUPS printers.
TEST_F(RedemptionE2E, CouponIsDeletedPrintedAndLogged) {
  const QStringList printers = QPrinterInfo::availablePrinterNames();
  if (!printers.contains("BON") || !printers.contains("Standard")) GTEST_SKIP() << "run scripts/setup-printers.sh";
  clock.set(QDateTime::currentDateTime());  // zentrale's demo coupons are valid from today
  const QString today = clock.now().date().toString("dd.MM.yyyy");
  EXPECT_EQ(coupon("1234", true), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt ! / Freigetränk an der Bar"));
  EXPECT_EQ(readBytes("coupons.ini"), (today + ";1234;00491711234567;5\r\n").toLatin1());
  // The same coupon again: the server has it as redeemed today.
  EXPECT_EQ(coupon("1234", false), QString::fromUtf8("Der Gutschein wurde bereits am ") + today + QString::fromUtf8(" eingelöst !"));

  // cups-pdf writes the job into ~/PDF while it runs: its text once it reads as a whole. Under
  // Wine the home folder is the prefix's, so the scripts name the printing user's folder.
  const QString pdfs = qEnvironmentVariable("QUORVALIS_PDF_DIR", QDir::homePath() + "/PDF/");
  QString text;
  EXPECT_TRUE(QTest::qWaitFor([&] {
    const QFileInfo f = QDir(pdfs).entryInfoList({"quorvalis_Quittung_1234*.pdf"}, QDir::Files, QDir::Time).value(0);
    return f.lastModified() >= clock.now().addSecs(-1) && QProcess::execute("pdftotext", {f.filePath(), path("receipt.txt")}) == 0 &&
           (text = QString::fromUtf8(readBytes("receipt.txt")).simplified()).contains("A B C D E F");
  }, 30000)) << "no receipt in " << pdfs.toStdString();
  for (const char* expected : {"über : 5,- EURO", "12345 Bar Nord Demo", "Handynummer : 0171 1234567"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in: " << text.toStdString();
}

}  // namespace quorvalis::testing
