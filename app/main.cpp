// The branch terminal: start form, then the band for the rest of the run.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "platform/card_helper.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/guard_link.h"
#include "platform/printer_system.h"
#include "platform/program_folder.h"
#include "platform/screen_host.h"
#include "platform/single_instance.h"
#include "platform/support_log.h"
#include "server/feed_source.h"
#include "server/http_central_server.h"
#include "server/services.h"
#include "server/terminal_state.h"
#include "settings/settings_files.h"
#include "branch/settings_form.h"
#include "club/club_screen.h"
#include "coupons/coupon_screen.h"
#include "coupons/redemption_journal.h"
#include "guests/new_guest_screen.h"
#include "shell/main_screen.h"
#include "shell/self_test.h"
#include "shell/start_form.h"
#include "shell/texts.h"
#include "diagnostics/guard_rules.h"
#include "settings/ini.h"
#include "ticker/ticker_screen.h"

using namespace quorvalis;

namespace {

// Answers --version and --help before any window: true when the program is done.
bool answerCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg = argv[i];
    if (arg == "--version") {
      std::printf("quorval %s\n", QUORVALIS_VERSION);
      return true;
    }
    if (arg == "--help" || arg == "-h") {
      std::printf(
          "usage: quorval [--version] [--help] [--selftest]\n"
          "The branch terminal of the quorvalis promotion service.\n"
          "Program folder: $QUORVALIS_HOME when set, else %s; every local file lives there.\n"
          "install.ini in it names the central server: [server] host=name[:port], timeout=seconds.\n"
          "cl.ini [start] FL is the branch file number; the card reader library is %s there.\n"
          "--selftest checks this PC (server, reader, printers, autostart, screen, folder), writes\n"
          "selftest.txt into the program folder, shows it and ends (status 1 when a check failed).\n"
          "The terminal runs under quorval-guard, which starts it again after a crash, a kill or a\n"
          "hang (install.ini [guard] hang=seconds, default 60); quorval.log and the folder crashes\n"
          "in the program folder say what happened.\n",
#ifdef Q_OS_WIN
          "c:\\quorvalis", "SCard32.DLL"
#else
          "$HOME/quorvalis", "libSCard32.so"
#endif
      );
      return true;
    }
  }
  return false;
}

// The staff read German: Qt's own buttons too ("Ja", "Nein", "Abbrechen").
void installGermanQtTexts(QTranslator& qtGerman) {
  if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtGerman);
}

// The real services, made in this order and kept as long as the program runs.
struct TerminalServices {
  SystemClock clock;
  HttpCentralServer server{readServerSettings()};
  HttpFeedSource feeds{readServerSettings()};
  const std::unique_ptr<CardReader> reader =
      createCardReader({readSetting(keys::kCardReader), readSetting(keys::kCardSelect)});
  const std::unique_ptr<Desktop> desktop = createDesktop(QStringLiteral(QUORVALIS_VERSION));
  MessageBoxDialogs dialogs;
  QtPrinterSystem printers;
  Services services{clock, server, *reader, *desktop, dialogs, printers};
};

// The settings form, beside the band or modal, shows or unloads the club screen.
SettingsForm* withClubHooks(SettingsForm* form, ScreenHost<ClubScreen>& club) {
  form->hooks.clubMode = [&club](bool on) { on ? club.show() : club.unload(); };
  form->hooks.cardErased = [&club] {
    if (club.screen()) club.screen()->forgetCard();
  };
  return form;
}

constexpr int kPrepareKeptScreensMs = 400;

// The band opens the new-guest and coupon screens modal, the others through their hosts.
void attachScreens(MainScreen& band, Services& services, TerminalState& state,
                   ScreenHost<ClubScreen>& club, ScreenHost<SettingsForm>& settings,
                   ScreenHost<TickerScreen>& ticker) {
  // Made once while the band idles and kept; each opening starts them afresh.
  auto guests = std::make_shared<KeptScreen<NewGuestScreen>>(
      [&services, &state] { return std::make_unique<NewGuestScreen>(services, state); });
  auto coupons = std::make_shared<KeptScreen<CouponScreen>>(
      [&services, &state] { return std::make_unique<CouponScreen>(services, state); });
  band.screens.newGuest = [guests] { guests->exec(); };
  band.screens.coupons = [coupons] { coupons->exec(); };
  // Once the band is on screen (its first paint would wait behind them), one at a time, so
  // the event loop is free between them; a touch before that makes its screen at once.
  QTimer::singleShot(kPrepareKeptScreensMs, &band, [guests] { guests->prepare(); });
  QTimer::singleShot(kPrepareKeptScreensMs + 100, &band, [coupons] { coupons->prepare(); });
  band.screens.club = [&club](bool show) { show ? club.show() : club.hide(); };
  // Without a password beside the band; after the password or service code, modal.
  band.screens.settings = [&services, &state, &club, &settings](bool modal) {
    if (!modal) return settings.show();
    SettingsForm form(services, state);
    form.hooks.selfTest = [&services] { return selfTestReport(services); };
    withClubHooks(&form, club)->exec();
  };
  band.screens.ticker = [&ticker](bool show) { show ? ticker.show() : ticker.unload(); };
  // What an unplanned end interrupted is finished before anyone redeems again.
  band.screens.serverAnswered = [&services] { finishInterruptedRedemptions(services); };
  band.screens.othersOpen = [&settings] { return settings.screen() && settings.screen()->isVisible(); };
}

// The technician's check of this PC: the report in the program folder, on the console and on the
// screen.
int selfTest() {
  TerminalServices terminal;
  bool passed = false;
  const QString report = selfTestReport(terminal.services, &passed);
  std::printf("%s\n", report.toLocal8Bit().constData());
  if (QGuiApplication::platformName() != u"offscreen")
    terminal.dialogs.message(report, QStringLiteral("quorvalis Selbsttest"), Dialogs::kOk);
  return passed ? 0 : 1;
}

// What support needs to know of this start; never a password, a key or anyone's data.
void logStart(int hangSeconds) {
  const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
  const ServerSettings server = readServerSettings();
  logInfo("terminal",
          QStringLiteral("start: version %1%2, %3 (%4), Qt %5, screen %6x%7 at %8 dpi, %9")
              // Windows updates by version.ini's name; Linux by the package's, which is the version.
              .arg(QStringLiteral(QUORVALIS_VERSION),
#ifdef Q_OS_WIN
                   QStringLiteral(", version.ini ") + readSetting(keys::kInstalledVersion),
#else
                   QString(),
#endif
                   QSysInfo::prettyProductName(),
                   QSysInfo::currentCpuArchitecture(), QString::fromLatin1(qVersion()))
              .arg(screen.width())
              .arg(screen.height())
              .arg(QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() : 0)
              .arg(guardlink::guarded() ? QStringLiteral("under its guard") : QStringLiteral("without a guard")));
  logInfo("terminal", QStringLiteral("settings: server %1, timeout %2 s, TLS certificate %3, update key %4, "
                                     "card reader %5, branch remembered %6, club mode %7, receipt printer %8, hang limit %9 s")
                          .arg(server.host)
                          .arg(server.timeoutMs / 1000)
                          .arg(server.caFile.isEmpty() ? QStringLiteral("none") : QStringLiteral("given"),
                               readSetting(keys::kUpdateKey).isEmpty() ? QStringLiteral("none") : QStringLiteral("given"),
                               readSetting(keys::kCardReader).isEmpty() ? QStringLiteral("any") : QStringLiteral("named"),
                               readSetting(keys::kLog) == u"1" ? QStringLiteral("yes") : QStringLiteral("no"),
                               readSetting(keys::kClub) == u"1" ? QStringLiteral("on") : QStringLiteral("off"),
                               readSetting(keys::kQPrinter))
                          .arg(hangSeconds));
}

}  // namespace

int main(int argc, char** argv) {
  if (answerCommandLine(argc, argv)) return 0;
  guardlink::handOverToGuard(argc, argv);
  guardlink::connect();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quorvalis"));
  app.setFont(QFont(QStringLiteral("Arial"), 11));
  QTranslator qtGerman;
  installGermanQtTexts(qtGerman);
  // The start form closes before the band is laid out; only the band's quit ends the program.
  app.setQuitOnLastWindowClosed(false);

  if (QCoreApplication::arguments().contains(QStringLiteral("--selftest"))) return selfTest();
  if (QCoreApplication::arguments().contains(QStringLiteral("--restarts-stopped"))) {
    MessageBoxDialogs().message(QString::fromUtf8(texts::kRestartsStopped), QString::fromUtf8(texts::kTitleError),
                                Dialogs::kOk);
    return 0;
  }

  const auto instance = acquireSingleInstance();
  if (!instance) {
    guardlink::plannedEnd(QStringLiteral("another terminal is already running"));
    return 0;
  }
  const int hangSeconds = guard::hangSecondsFrom(readSetting(keys::kGuardHang).toStdString());
  guardlink::startHeartbeat(&app, hangSeconds);
  logStart(hangSeconds);

  TerminalServices terminal;
  Services& services = terminal.services;
  TerminalState state;
  ScreenHost<ClubScreen> club([&] { return new ClubScreen(services, state); });
  std::unique_ptr<MainScreen> band;
  ScreenHost<TickerScreen> ticker([&] {
    return new TickerScreen(state, terminal.feeds, [&] { return band && band->tileShown(); });
  });
  ScreenHost<SettingsForm> settings(
      [&] { return withClubHooks(new SettingsForm(services, state), club); });

  auto start = std::make_unique<StartForm>(services);
  QObject::connect(start.get(), &StartForm::login, [&](const QString& id) {
    if (band) return;
    band = std::make_unique<MainScreen>(services, state, id);
    attachScreens(*band, services, state, club, settings, ticker);
    band->show();
    guardlink::loggedIn(id);
    guardlink::bandShown();
    logInfo("terminal", QStringLiteral("band shown"));
    QTimer::singleShot(0, [&] { start.reset(); });
  });
  // After a restart the branch logs in again by itself, as it was logged in before. A branch that
  // logs in at once never sees the start form: it would close in the moment it showed.
  const bool resumed = start->resume(guardlink::resumeBranch());
  if (start->load() || resumed)
    QTimer::singleShot(0, start.get(), &StartForm::Command1_Click);
  else
    start->show();
  return app.exec();
}
