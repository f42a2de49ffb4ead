#include "shell/self_test.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QScreen>
#include <QSslSocket>
#include <QWidget>
#include <algorithm>

#include "common/text.h"
#include "platform/card_reader.h"
#include "platform/pcsc_reader.h"
#include "diagnostics/crash_records.h"
#include "diagnostics/support_log.h"
#include "platform/file_write.h"
#include "platform/guard_link.h"
#include "platform/program_folder.h"
#include "platform/widgets.h"
#include "server/branch_configuration.h"
#include "server/http_central_server.h"
#include "server/services.h"
#include "settings/settings_files.h"
#include "shell/band_layout.h"

namespace quorvalis {
namespace {

QString ok(const QString& what) { return QStringLiteral("OK: ") + what; }
QString fault(const QString& what, const QString& todo) {
  return QStringLiteral("FEHLER: ") + what + QStringLiteral(" – ") + todo;
}
QString unchecked(const QString& what) { return QStringLiteral("NICHT GEPRÜFT: ") + what; }

QString programFolderLine() {
  const QString folder = QDir::toNativeSeparators(programFolder());
  const QString probe = programFile(QStringLiteral("selftest.probe"));
  const bool writable = ensureProgramFolder() && writeFileAtomically(probe, "probe") && QFile::remove(probe);
  return writable ? ok(QStringLiteral("Programmordner %1 beschreibbar").arg(folder))
                  : fault(QStringLiteral("Programmordner %1 nicht beschreibbar").arg(folder),
                          QStringLiteral("Rechte des Ordners und freien Platz prüfen"));
}

// The server over the configured scheme, with the configured authority: the version file's
// answer, or its not-found page, shows that it answers.
QString serverLine() {
  const ServerSettings settings = readServerSettings();
  HttpCentralServer server(settings);
  const bool tls = splitScheme(settings.host).first;
  const QString backend = QSslSocket::activeBackend();
  const QString how = tls ? (settings.caFile.isEmpty() ? QStringLiteral(" (TLS über %1, Zertifikat geprüft)").arg(backend)
                                                       : QStringLiteral(" (TLS über %1, Zertifikat geprüft mit %2)")
                                                             .arg(backend, QFileInfo(settings.caFile).fileName()))
                          : QStringLiteral(" (ohne TLS)");
  // Without its TLS library no https request can succeed; say which files are missing.
  if (tls && !QSslSocket::supportsSsl())
    return fault(QStringLiteral("Zentrale %1: keine TLS-Bibliothek").arg(settings.host),
                 QStringLiteral("libssl und libcrypto (Windows: libssl-3-x64.dll, libcrypto-3-x64.dll) im "
                                "Programmordner prüfen, Programm neu installieren"));
  if (!server.get(QString::fromLatin1(kVersionPath)).isEmpty())
    return ok(QStringLiteral("Zentrale %1 antwortet").arg(settings.host) + how);
  return fault(QStringLiteral("Zentrale %1 antwortet nicht").arg(settings.host) + how,
               QStringLiteral("Netzwerk, install.ini [server] host und ca und das Zertifikat der Zentrale prüfen"));
}

// The reader's path, and the kind of card in it: a memory card (a club card), another system's
// chip card (never read), or none.
QString readerLine(CardReader& reader) {
  const QString library = cardReaderLibraryPath();
  const QString name = QFileInfo(library).fileName();
  const CardResult status = reader.command(statusCommand(), {}, 7);
  const QString state = status.dataOut.trimmed();
  const bool noReader = status.dataOut == QLatin1String(kStatusError);
  if (!QFile::exists(library)) {
    // Without the maker's driver the terminal reads cards through the PC/SC service.
    if (status.called && !noReader) {
      const QString info = reader.command(QString::fromLatin1(kReaderInfoCommand), {}, 300).dataOut.trimmed();
      const QString kind = info.section(u',', 0, 0), what = QStringLiteral("Kartenleser über PC/SC: %1").arg(info.section(u',', 1));
      if (kind == u"mute")
        return fault(what + QStringLiteral(", Karte antwortet nicht"),
                     QStringLiteral("die Karte mit dem Chip nach vorn und oben ganz einstecken oder eine andere versuchen"));
      return ok(what + (kind == u"memory"      ? QStringLiteral(", Speicherkarte")
                        : kind == u"processor" ? QStringLiteral(", Prozessorkarte (keine Clubkarte, wird nicht gelesen)")
                                               : QStringLiteral(", keine Karte")));
    }
    return fault(QStringLiteral("kein Kartenleser-Treiber %1 im Programmordner, %2").arg(name,
                     status.called ? QStringLiteral("PC/SC-Dienst ohne Leser") : QStringLiteral("kein PC/SC-Dienst")),
#ifdef Q_OS_WIN
                 QStringLiteral("den Treiber des Herstellers installieren oder den Leser anschließen: Windows startet "
                                "den Dienst Smartcard mit dem ersten Leser (Clubmitglieder gehen auch per Nummer)"));
#else
                 QStringLiteral("den Treiber des Herstellers oder pcscd und den Leser installieren (Clubmitglieder gehen auch per Nummer)"));
#endif
  }
  const int bits = libraryBits(library);
  const QString kind = QStringLiteral("%1 (%2 Bit)").arg(name).arg(bits);
  if (!status.called)
    return fault(QStringLiteral("Treiber %1 antwortet nicht").arg(kind),
                 QStringLiteral("Treiber neu installieren; bei 32 Bit muss quorval-card.exe im Programmordner liegen"));
  if (noReader)
    return fault(QStringLiteral("Treiber %1 meldet keinen Leser").arg(kind), QStringLiteral("Leser anschließen"));
  // The maker's driver reads memory cards only: any other card it cannot read.
  const QString card = status.dataOut == QLatin1String(kStatusActive)    ? QStringLiteral("Speicherkarte")
                       : status.dataOut == QLatin1String(kStatusInvalid) ? QStringLiteral("Karte nicht lesbar")
                                                                         : QStringLiteral("keine Karte");
  return ok(QStringLiteral("Kartenleser über den Treiber %1, Status %2, %3").arg(kind, state, card));
}

QStringList printerLines() {
  QStringList lines;
  const QString standard = QPrinterInfo::defaultPrinterName();
  lines << (standard.isEmpty() ? fault(QStringLiteral("kein Standarddrucker"),
                                       QStringLiteral("einen Drucker als Standard einrichten"))
                               : ok(QStringLiteral("Standarddrucker %1").arg(standard)));
  const QString receipt = readSetting(keys::kQPrinter).trimmed();
  if (receipt.isEmpty() || receipt == u"-")
    lines << ok(QStringLiteral("kein Bondrucker gewählt: Quittungen auf dem Standarddrucker"));
  else if (QPrinterInfo::availablePrinterNames().contains(receipt))
    lines << ok(QStringLiteral("Bondrucker %1").arg(receipt));
  else
    lines << fault(QStringLiteral("Bondrucker %1 nicht installiert").arg(receipt),
                   QStringLiteral("den Drucker einrichten oder in den Einstellungen einen anderen wählen"));
  return lines;
}

QString autostartLine(Desktop& desktop) {
  const QString command = QDir::toNativeSeparators(desktop.autostart());
  const QString program = QDir::toNativeSeparators(programFile(executableName()));
  const QString off = QDir::toNativeSeparators(programFile(QStringLiteral("no_") + executableName()));
  if (command.compare(program, Qt::CaseInsensitive) == 0) return ok(QStringLiteral("Autostart startet %1").arg(program));
  if (command.compare(off, Qt::CaseInsensitive) == 0) return ok(QStringLiteral("Autostart aus (die Filialdatei sagt win=0)"));
  return fault(command.isEmpty() ? QStringLiteral("kein Autostart-Eintrag")
                                 : QStringLiteral("Autostart startet ein anderes Programm: %1").arg(command),
               QStringLiteral("das Programm einmal starten, es trägt sich mit der Filialdatei neu ein"));
}

QStringList screenLines() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {fault(QStringLiteral("kein Bildschirm"), QStringLiteral("Anzeige prüfen"))};
  const QSize size = screen->geometry().size();
  const int percent = qRound(screen->devicePixelRatio() * 100);
  const QString what = QStringLiteral("Bildschirm %1 × %2 Punkte, Skalierung %3 %").arg(size.width()).arg(size.height()).arg(percent);
  const int wTwips = size.width() * kTwipsPerPixel, hTwips = size.height() * kTwipsPerPixel;
  QStringList lines{screenLargeEnough(wTwips, hTwips)
                        ? ok(what)
                        : fault(what, QStringLiteral("mindestens 1024 × 600 Punkte einstellen (Auflösung oder Skalierung)"))};
  const int band = kBandHeight / kTwipsPerPixel;
  lines << ok(QStringLiteral("Leiste %1 × %2 Punkte am unteren Rand (ab Zeile %3)").arg(size.width()).arg(band).arg(size.height() - band));
  return lines;
}

// A window of its own in front: the foreground title Windows reports, and the pointer where the
// watchdog puts it, read back.
QStringList foregroundLines(Desktop& desktop) {
  if (QGuiApplication::platformName() == u"offscreen")
    return {unchecked(QStringLiteral("Vordergrund und Zeiger: keine Anzeige"))};
  QWidget probe;
  const QString title = QStringLiteral("quorvalis Selbsttest");
  probe.setWindowTitle(title);
  probe.setWindowFlag(Qt::WindowStaysOnTopHint);
  probe.resize(300, 200);
  probe.show();
  probe.raise();
  probe.activateWindow();
  QDeadlineTimer deadline(3000);
  while (!deadline.hasExpired() && desktop.foregroundTitle() != title)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  QStringList lines;
  const QString front = desktop.foregroundTitle();
  lines << (front == title ? ok(QStringLiteral("Vordergrund: das eigene Fenster kommt nach vorn"))
                           : fault(QStringLiteral("Vordergrund: vorn steht \"%1\"").arg(front),
                                   QStringLiteral("Programme prüfen, die sich nach vorn drängen")));
  const QPoint middle = probe.geometry().center();
  desktop.setCursorPos(middle);
  QCoreApplication::processEvents();
  const QPoint at = QCursor::pos();
  lines << ((at - middle).manhattanLength() <= 2
                ? ok(QStringLiteral("Zeiger landet, wo er hin soll (%1, %2)").arg(middle.x()).arg(middle.y()))
                : fault(QStringLiteral("Zeiger bei (%1, %2) statt (%3, %4)").arg(at.x()).arg(at.y()).arg(middle.x()).arg(middle.y()),
                        QStringLiteral("Skalierung der Anzeige prüfen und melden")));
  return lines;
}

}  // namespace

// The guard, the program's unplanned ends of the last week and where support finds the rest.
QStringList guardLines() {
  QStringList lines;
  const QString guard = guardlink::guardProgram();
  lines << (QFileInfo(guard).isExecutable()
                ? ok(QStringLiteral("Wächter %1: startet das Terminal nach Absturz, Abbruch oder Hänger neu")
                         .arg(QDir::toNativeSeparators(guard)))
                : fault(QStringLiteral("Wächter %1 fehlt: nach einem Absturz bleibt die Leiste weg").arg(QDir::toNativeSeparators(guard)),
                        QStringLiteral("Programm neu installieren")));
  const std::filesystem::path folder(programFolder().toStdU16String());
  const auto week = diag::recordsSince(folder, std::chrono::system_clock::now() - std::chrono::hours(24 * 7));
  if (week.empty()) {
    lines << ok(QStringLiteral("keine unerwarteten Programmenden in den letzten 7 Tagen"));
  } else {
    lines << QStringLiteral("HINWEIS: %1 unerwartete Programmenden in den letzten 7 Tagen (die neuesten zuerst):").arg(week.size());
    static const QMap<QString, QString> kKinds{{"crash", "Absturz"}, {"kill", "von außen beendet"}, {"hang", "hing"}};
    for (const auto& r : week)
      lines << QStringLiteral("  %1 %2 (%3, Version %4)")
                   .arg(QString::fromStdString(diag::localTimeText(r.time)),
                        kKinds.value(QString::fromStdString(r.kind), QString::fromStdString(r.kind)),
                        QString::fromStdString(r.cause), QString::fromStdString(r.version));
  }
  lines << ok(QStringLiteral("Protokoll %1, Absturzberichte in %2")
                  .arg(QDir::toNativeSeparators(programFile(QString::fromLatin1(diag::kLogName))),
                       QDir::toNativeSeparators(programFile(QString::fromLatin1(diag::kCrashFolder)))));
  return lines;
}

QStringList runSelfTest(Services& services) {
  QStringList lines{programFolderLine(), serverLine(), readerLine(services.cardReader)};
  lines << printerLines() << autostartLine(services.desktop) << screenLines() << foregroundLines(services.desktop)
        << guardLines();
  return lines;
}

bool writeSelfTestReport(const QStringList& lines) {
  return ensureProgramFolder() &&
         writeFileAtomically(programFile(QStringLiteral("selftest.txt")), toCp1252(lines.join(QStringLiteral("\r\n")) + "\r\n"));
}

QString selfTestReport(Services& services, bool* passed) {
  const QStringList lines = runSelfTest(services);
  const bool written = writeSelfTestReport(lines);
  if (passed) *passed = written && selfTestPassed(lines);
  return lines.join(u'\n') +
         (written ? QStringLiteral("\n\nBericht: %1").arg(QDir::toNativeSeparators(programFile(QStringLiteral("selftest.txt"))))
                  : QStringLiteral("\n\nDer Bericht konnte nicht geschrieben werden."));
}

}  // namespace quorvalis
