#include "shell/main_screen.h"

#include <QEvent>
#include <QFile>
#include <QStorageInfo>
#include <QThread>

#include "common/text.h"
#include "platform/held_program.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "server/branch_configuration.h"
#include "server/update_signature.h"
#include "settings/settings_files.h"
#include "shell/band_layout.h"
#include "shell/pictures.h"
#include "shell/texts.h"
#include "shell/watchdog.h"
#include "platform/support_log.h"

namespace quorvalis {
namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

MainScreen::MainScreen(Services& services, TerminalState& state, const QString& branchId,
                       QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      services_(services),
      state_(state) {
  setObjectName(QStringLiteral("main"));
  setWindowTitle(text(texts::kMainCaption));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0, 62, 110));
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  makeControls();
  makeTimers();
  connectControls();
  loadForm(branchId);
}

void MainScreen::makeControls() {
  mainbackgr = makeLabel(this, "mainbackgr");
  mainbackgr->setStyleSheet(QStringLiteral("background-color: rgb(0, 92, 153); border-radius: 8px;"));
  Butt1 = button("Butt1", text(texts::kNewGuest));
  Butt2 = button("Butt2", text(texts::kRedeem));
  for (QPushButton* b : {Butt1, Butt2}) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(20);
    f.setBold(true);
    b->setFont(f);
  }
  moment = makeLabel(this, "moment", text(texts::kMoment));
  moment->setAlignment(Qt::AlignCenter);
  quorvalName = makeLabel(this, "quorvalName");
  QFont nameFont(QStringLiteral("Arial"));
  nameFont.setPixelSize(20);
  nameFont.setBold(true);
  quorvalName->setFont(nameFont);
  quorvalStatus = makeLabel(this, "quorvalStatus", text(texts::kServerFailed));
  vers = makeLabel(this, "vers");
  versinfo = makeLabel(this, "versinfo");
  versinfo->setAlignment(Qt::AlignCenter);
  Picture1 = makeNamed<ClickLabel>(this, QStringLiteral("Picture1"));
  Picture2 = makeNamed<ClickLabel>(this, QStringLiteral("Picture2"));
  Picture3 = makeNamed<ClickLabel>(this, QStringLiteral("Picture3"));
  // The pictures' sizes are fixed in twips: drawn once here, not at every layout.
  Picture1->setPixmap(pictures::shrink(toPixels(kPictureSize)));
  Picture2->setPixmap(pictures::settings(toPixels(kPictureSize)));
  Picture3->setGeometry(0, 0, toPixels(kTileSize), toPixels(kTileSize));
  Picture3->setPixmap(pictures::tile(toPixels(kTileSize)));
  pwd = makeNamed<QLineEdit>(this, QStringLiteral("pwd"));
  pwd->setEchoMode(QLineEdit::Password);
  pwdok = button("pwdok", text(texts::kOk));
  tasta2 = button("tasta2", text(texts::kKeyboard));
  gpwd = makeNamed<QLineEdit>(this, QStringLiteral("gpwd"));
  gpwd->setEchoMode(QLineEdit::Password);
  gpwdok = button("gpwdok", text(texts::kOk));
  tasta3 = button("tasta3", text(texts::kKeyboard));
  ende = button("ende", text(texts::kQuit));
  ProgressBar1 = makeNamed<QProgressBar>(this, QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  for (QWidget* hidden : std::initializer_list<QWidget*>{pwd, pwdok, tasta2, gpwd, gpwdok, tasta3,
                                                          Picture3, ProgressBar1, moment})
    hidden->hide();
  // Nothing to open before the server has told the band where the branch's files are.
  Butt1->setEnabled(false);
  Butt2->setEnabled(false);
}

void MainScreen::makeTimers() {
  Timer1 = makeNamed<QTimer>(this, QStringLiteral("Timer1"));
  Timer2 = makeNamed<QTimer>(this, QStringLiteral("Timer2"));
  // A coarse timer may fire the start sequence up to 125 ms early or late.
  Timer2->setTimerType(Qt::PreciseTimer);
  TimerWin = makeNamed<QTimer>(this, QStringLiteral("TimerWin"));
  TimerUpdate = makeNamed<QTimer>(this, QStringLiteral("TimerUpdate"));
  connect(Timer1, &QTimer::timeout, this, &MainScreen::timer1Tick);
  connect(Timer2, &QTimer::timeout, this, &MainScreen::timer2Tick);
  connect(TimerWin, &QTimer::timeout, this, &MainScreen::timerWinTick);
  connect(TimerUpdate, &QTimer::timeout, this, &MainScreen::timerUpdateTick);
}

void MainScreen::connectControls() {
  connect(Butt1, &QPushButton::clicked, this, &MainScreen::Butt1_Click);
  connect(Butt2, &QPushButton::clicked, this, &MainScreen::Butt2_Click);
  connect(Picture1, &ClickLabel::clicked, this, &MainScreen::Picture1_Click);
  connect(Picture2, &ClickLabel::clicked, this, &MainScreen::Picture2_Click);
  connect(Picture3, &ClickLabel::clicked, this, &MainScreen::Picture3_Click);
  connect(pwdok, &QPushButton::clicked, this, &MainScreen::pwdok_Click);
  connect(pwd, &QLineEdit::returnPressed, this, &MainScreen::pwdok_Click);
  connect(tasta2, &QPushButton::clicked, this, &MainScreen::tasta2_Click);
  // Nothing shows the new-guest password row; its OK runs the new-guest button unchecked.
  connect(gpwdok, &QPushButton::clicked, this, &MainScreen::Butt1_Click);
  connect(gpwd, &QLineEdit::returnPressed, this, &MainScreen::Butt1_Click);
  connect(tasta3, &QPushButton::clicked, this, [this] {
    services_.desktop.startOnScreenKeyboard();
    gpwd->setFocus();
  });
  connect(ende, &QPushButton::clicked, this, &MainScreen::ende_Click);
}

void MainScreen::loadForm(const QString& branchId) {
  placeTwips(this, 0, 0, 4140, 2500);
  placeTwips(mainbackgr, 150, 150, 4140 - 300, 2500 - 300);
  placeTwips(ende, 4140 - 360, 150, 360, 360);
  versinfo->hide();
  state_.versinfo = QStringLiteral("quorvalis - Tarvendel Coupons - Version %1").arg(installedRelease());
  versinfo->setText(state_.versinfo);
  state_.quorvalisID = branchId;
  writeSetting(keys::kTempNr, QString());
  setTimerInterval(Timer2, 2502);
}

QPushButton* MainScreen::button(const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

void MainScreen::storeScreenSize() {
  const QSize px = services_.desktop.screenSize();
  state_.screenW = QString::number(px.width() * kTwipsPerPixel);
  state_.screenH = QString::number(px.height() * kTwipsPerPixel);
}

void MainScreen::endProgram(const QString& reason) {
  ending_ = true;
  Timer1->stop();
  Timer2->stop();
  TimerWin->stop();
  TimerUpdate->stop();
  services_.desktop.endProgram(reason);
}

void MainScreen::timer2Tick() {
  const int step = Timer2->interval();
  setTimerInterval(Timer2, 0);
  if (step == 2502) RunStartSequence();
  else if (step == 2503) ArrangeMainScreen();
}

bool MainScreen::lookUpBranch(bool refreshAll) {
  const BranchInfo info =
      parseBranchReply(services_.server.get(branchLookupPath(state_.quorvalisID)));
  if (!info.answered) return false;
  if (refreshAll) {
    state_.quorvalverz = info.directory;
    state_.quorvalName = info.displayName;
    quorvalName->setText(info.displayName);
  }
  state_.HalleName = info.branchName;
  state_.HallePLZ = info.postcode;
  return true;
}

void MainScreen::RunStartSequence() {
  storeScreenSize();
  if (!CheckForUpdate()) return;
  const bool answered = lookUpBranch(true);
  if (answered) {
    quorvalStatus->setText(text(texts::kServerOk));
    if (!LoadBranchConfiguration()) return;
    if (screens.serverAnswered) screens.serverAnswered();
  }
  Butt1->setEnabled(answered);
  Butt2->setEnabled(answered);
  ende->setVisible(!answered);
  ArrangeMainScreen();
}

void MainScreen::placeBand() {
  const BandLayout l = bandLayout(screenW(), screenH());
  setGeometry(twipsToPixels(l.form));
  const std::pair<QWidget*, QRect> places[] = {
      {mainbackgr, l.mainbackgr}, {Butt1, l.Butt1},     {Butt2, l.Butt2},
      {moment, l.moment},         {versinfo, l.versinfo}, {gpwd, l.gpwd},
      {gpwdok, l.gpwdok},         {tasta3, l.tasta3},   {Picture1, l.Picture1},
      {Picture2, l.Picture2},     {pwd, l.pwd},         {pwdok, l.pwdok},
      {tasta2, l.tasta2},         {ProgressBar1, l.ProgressBar1}, {ende, l.ende},
      {quorvalName, l.quorvalName}, {quorvalStatus, l.quorvalStatus}, {vers, l.vers}};
  for (const auto& [widget, rect] : places) widget->setGeometry(twipsToPixels(rect));
}

void MainScreen::ArrangeMainScreen() {
  SetTopmost(this);
  storeScreenSize();
  if (!screenLargeEnough(screenW(), screenH())) {
    setTimerInterval(Timer2, 2503);
    ende->show();
    return;
  }
  placeBand();
  arranged_ = true;
  show();
  moment->hide();
  versinfo->show();
  ende->hide();
  SetTopmost(this);
  if (settingOn(keys::kAutomin)) startAutoShrink();
  setWatchdog();
  if (quorvalStatus->text() == text(texts::kServerFailed)) {
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    setTimerInterval(Timer1, 333);
    quorvalName->setText(text(texts::kWaitingForServer));
    ende->show();
  } else if (settingOn(keys::kClub) && screens.club) {
    screens.club(true);
  }
  setTimerInterval(TimerUpdate, 10000);
}

void MainScreen::startAutoShrink() {
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  setTimerInterval(Timer1, 100);
}

void MainScreen::setWatchdog() { setTimerInterval(TimerWin, settingOn(keys::kWinb) ? 500 : 0); }

void MainScreen::timer1Tick() {
  if (state_.nominimize == QStringLiteral("1")) return;
  ProgressBar1->setValue(ProgressBar1->value() + 1);
  if (ProgressBar1->value() <= 98) return;
  if (Timer1->interval() == 333) {
    setTimerInterval(Timer1, 0);
    setTimerInterval(Timer2, 2502);
    return;
  }
  setTimerInterval(Timer1, 0);
  ProgressBar1->hide();
  pwd->hide();
  pwdok->hide();
  tasta2->hide();
  pwd->clear();
  if (settingOn(keys::kAutomin)) Picture1_Click();
}

void MainScreen::Picture1_Click() {
  // Before the first layout the band has no screen size to shrink into its corner.
  if (!arranged_ || settingOn(keys::kNomin) || state_.nominimize == QStringLiteral("1")) return;
  setGeometry(twipsToPixels(tileRect(screenW(), screenH())));
  Picture3->show();
  Picture3->raise();
  setTimerInterval(Timer1, 0);
  ProgressBar1->setValue(0);
  SetTopmost(this);
  if (settingOn(keys::kClub) && screens.club) screens.club(false);
}

void MainScreen::Picture3_Click() {
  Picture3->hide();
  setGeometry(twipsToPixels(bandLayout(screenW(), screenH()).form));
  show();
  const bool ticker = readNumber(readSetting(keys::kRssMain)) > 0;
  if (ticker && screens.ticker) screens.ticker(true);
  if (settingOn(keys::kAutomin)) startAutoShrink();
  setWatchdog();
  SetTopmost(this);
  if (ticker && screens.ticker) screens.ticker(true);
  if (settingOn(keys::kClub) && screens.club) screens.club(true);
}

void MainScreen::Form_Activate() {
  state_.nominimize = QStringLiteral("0");
  if (screens.unloadModal) screens.unloadModal();
  if (settingOn(keys::kAutomin)) startAutoShrink();
  setWatchdog();
}

void MainScreen::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !ending_) Form_Activate();
}

void MainScreen::withMoment(const std::function<void()>& work) {
  ProgressBar1->setValue(0);
  Butt1->hide();
  Butt2->hide();
  moment->show();
  moment->repaint();
  work();
  Butt1->show();
  Butt2->show();
  moment->hide();
}

void MainScreen::Butt1_Click() {
  withMoment([this] { lookUpBranch(false); });
  if (!LoadBranchConfiguration()) return;
  state_.nominimize = QStringLiteral("1");
  if (screens.newGuest) screens.newGuest();
  else state_.nominimize = QStringLiteral("0");  // no screen to close and say so
  if (settingOn(keys::kAutomin)) startAutoShrink();
  setWatchdog();
}

void MainScreen::Butt2_Click() {
  withMoment([this] { lookUpBranch(false); });
  state_.nominimize = QStringLiteral("1");
  if (screens.coupons) screens.coupons();
  else state_.nominimize = QStringLiteral("0");
}

void MainScreen::Picture2_Click() {
  if (state_.pwds.isEmpty() && !state_.pwdsLocked) {
    if (screens.settings) screens.settings(false);
    return;
  }
  pwd->show();
  pwdok->show();
  tasta2->show();
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  pwd->setFocus();
  setTimerInterval(Timer1, 200);
}

void MainScreen::pwdok_Click() {
  const QString entry = pwd->text();
  const bool open = (!state_.pwds.isEmpty() && entry == state_.pwds) ||
                    entry == text(texts::kServiceCode);
  pwd->clear();
  pwd->hide();
  pwdok->hide();
  tasta2->hide();
  if (open && screens.settings) screens.settings(true);
}

void MainScreen::tasta2_Click() {
  services_.desktop.startOnScreenKeyboard();
  pwd->setFocus();
}

void MainScreen::ende_Click() { endProgram(QStringLiteral("the band's quit button")); }

namespace {

void logDownload(const char* what, Download result) {
  switch (result) {
    case Download::kWritten: logInfo("configuration", QStringLiteral("%1 written").arg(QLatin1String(what))); break;
    case Download::kNotFound:
      logWarning("configuration", QStringLiteral("%1: the server has none (not-found page)").arg(QLatin1String(what)));
      break;
    case Download::kNoAnswer:
      logWarning("configuration", QStringLiteral("%1: no usable answer (none, or not a settings file), the file kept as it was").arg(QLatin1String(what)));
      break;
  }
}

}  // namespace

bool MainScreen::LoadBranchConfiguration() {
  const Download result =
      downloadBranchConfiguration(services_.server, state_.quorvalverz, readSetting(keys::kFl));
  logDownload("branch configuration", result);
  if (result != Download::kWritten && !QFile::exists(programFile(files::kFilial))) {
    services_.dialogs.message(text(texts::kNoBranchFile), text(texts::kTitleNote));
    endProgram(QStringLiteral("the branch has no configuration file"));
    return false;
  }
  const QString pass = readSetting(keys::kPass);
  state_.pwds = pass.isEmpty() ? QString() : unscramblePassword(pass);
  state_.pwdsLocked = !pass.isEmpty() && state_.pwds.isEmpty();
  state_.pwdu.clear();
  logInfo("terminal", QStringLiteral("branch settings: automin %1, nomin %2, winb %3, win %4, print %5, quitt %6, password %7")
                          .arg(readSetting(keys::kAutomin), readSetting(keys::kNomin), readSetting(keys::kWinb),
                               readSetting(keys::kWin), readSetting(keys::kPrint), readSetting(keys::kQuitt),
                               pass.isEmpty() ? QStringLiteral("none") : QStringLiteral("set")));
  const QString program = settingOn(keys::kWin) ? executableName()
                                                : QStringLiteral("no_") + executableName();
  services_.desktop.setAutostart(programFile(program));
  DownloadTickerSettings();
  return true;
}

void MainScreen::DownloadTickerSettings() {
  const Download result = downloadTickerSettings(services_.server, state_.quorvalverz);
  logDownload("ticker settings", result);
  if (result != Download::kWritten) return;
  if (screens.ticker) screens.ticker(readNumber(readSetting(keys::kRssMain)) > 0);
}

// Where a package manager installed the terminal, its package's release; else version.ini.
QString MainScreen::installedRelease() const {
  const QString packaged = services_.desktop.packagedRelease();
  return packaged.isEmpty() ? readSetting(keys::kInstalledVersion) : packaged;
}

bool MainScreen::CheckForUpdate() {
  const QString reply = services_.server.get(QString::fromLatin1(kVersionPath));
  switch (checkVersionReply(reply, installedRelease())) {
    case UpdateCheck::kNoReply:
      vers->clear();
      return true;
    case UpdateCheck::kCurrent:
      vers->hide();
      return true;
    case UpdateCheck::kNewer: {
      if (!services_.desktop.packagedRelease().isEmpty()) {
        // The server's program is the Windows installer: the package manager brings this one.
        logInfo("update", QStringLiteral("the server offers %1, the package of %2 is installed: the package manager brings releases")
                              .arg(reply, installedRelease()));
        vers->hide();
        return true;
      }
      logInfo("update", QStringLiteral("the server offers %1, %2 is installed").arg(reply, readSetting(keys::kInstalledVersion)));
      vers->setText(reply);
      vers->show();
      // The installer that could not finish started this terminal again and said so: the
      // same version waits for the next check rather than being fetched again at once.
      const QString failed = readSetting(keys::kFailedUpdate);
      if (!failed.isEmpty()) QFile::remove(programFile(QString::fromLatin1(files::kUpdate)));
      if (failed == reply)
        logWarning("update", QStringLiteral("%1 is left to the next check: its installer could not finish").arg(reply));
      return failed == reply || DownloadUpdate();
    }
  }
  return true;
}

namespace {

constexpr qint64 kUnsignedMaxBytes = 512LL * 1024 * 1024;
constexpr int kUpdateDeadlineMs = 15 * 60 * 1000;
constexpr qint64 kKeepFreeBytes = 64LL * 1024 * 1024;  // for the branch's records and logs

}  // namespace

// With a key, the statement on the server says what may come and how long it is, before a byte
// of the program is fetched; the program is held from its check to its start.
bool MainScreen::DownloadUpdate() {
  const QString version = vers->text();
  const QString file = updateProgramFile(version);
  const QByteArray key = configuredUpdateKey().toLatin1();
  std::optional<UpdateStatement> statement;
  bool ok = true;
  if (!key.isEmpty()) {
    statement = UpdateStatement::parse(services_.server.get(updateSignaturePath(version)).toLatin1());
    ok = statement && statementAdmits(*statement, version, readSetting(keys::kInstalledVersion));
    if (!statement) logWarning("update", QStringLiteral("refused %1: no readable signed statement").arg(version));
    else if (!ok) logWarning("update", QStringLiteral("refused %1: its statement does not admit the step from %2")
                                            .arg(version, readSetting(keys::kInstalledVersion)));
  }
  const qint64 maxBytes = statement ? statement->length : kUnsignedMaxBytes;
  // At start the band is not laid out yet: the version and its progress stand in the middle.
  if (!arranged_) placeTwips(vers, 450, 1000, 4140 - 900, 400);
  const bool room = QStorageInfo(programFolder()).bytesAvailable() >= (statement ? maxBytes : 0) + kKeepFreeBytes;
  if (ok && !room) logWarning("update", QStringLiteral("refused %1: too little free space").arg(version));
  ok = ok && room;
  if (ok) {
    logInfo("update", QStringLiteral("downloading %1").arg(version));
    ok = services_.server.download(
        updateProgramPath(version), file,
        {maxBytes, kUpdateDeadlineMs, kKeepFreeBytes, [this, &version, maxBytes, percent = statement && maxBytes > 0](qint64 received) {
           // Whoever stands at the counter sees why the band does not answer.
           vers->setText(percent ? QStringLiteral("%1 %2 %").arg(version).arg(received * 100 / maxBytes)
                                 : QStringLiteral("%1 %2 MB").arg(version).arg(received >> 20));
         }});
    vers->setText(version);
    if (!ok) logWarning("update", QStringLiteral("the download of %1 failed or broke a limit").arg(version));
  }
  if (ok) {
    HeldProgram program(file);
    const bool verified = program.isOpen() && (!statement || verifyUpdateProgram(program.content(), *statement, key));
    if (!verified) logWarning("update", QStringLiteral("refused %1: the program does not match its signed statement").arg(version));
    ok = verified && services_.desktop.startHeld(program);
    if (verified && !ok) logError("update", QStringLiteral("the update program %1 could not be started").arg(version));
    if (ok) logInfo("update", QStringLiteral("%1 verified and started").arg(version));
  }
  if (!ok) {
    // Nothing unchecked is kept; a failed start leaves the old terminal running.
    QFile::remove(file);
    const QDateTime now = services_.clock.now();
    services_.dialogs.message(text(texts::kUpdateError) + dateText(now.date()) + u' ' +
                                  timeText(now.time()),
                              text(texts::kTitleError));
    return true;
  }
  endProgram(QStringLiteral("the update program was started"));
  return false;
}

// Never inside another wait (a request, a modal screen, a message) nor while a screen waits for
// the person: ending the program there would cut their work short (a coupon deleted on the
// server but neither printed nor logged). A due check runs once the band is quiet again.
bool MainScreen::bandQuiet() const {
  // A modal screen or message runs a loop of its own, so the loop level covers them too.
  return !services_.server.busy() && state_.nominimize != u"1" && QThread::currentThread()->loopLevel() <= 1 &&
         !(screens.othersOpen && screens.othersOpen());
}

void MainScreen::timerUpdateTick() {
  if (++uptime_ > 8460) {
    uptime_ = 1;
    updateDue_ = true;
  }
  if (updateDue_ && bandQuiet()) {
    updateDue_ = false;
    CheckForUpdate();
  }
  restartIfReplaced();
}

// The package manager replaced the program: once the file has stood for a tick (the package's
// other files land meanwhile) and the band is quiet, the new one takes over. Never in the middle
// of a person's work: that is the same rule as the update check's.
void MainScreen::restartIfReplaced() {
  if (!services_.desktop.programReplaced()) {
    replacedTicks_ = 0;
    return;
  }
  if (++replacedTicks_ < 2 || restartRefused_ || !bandQuiet()) return;
  if (!services_.desktop.restartIntoNewProgram(QStringLiteral("the package manager replaced the program"))) {
    restartRefused_ = true;
    logWarning("update", QStringLiteral("the program was replaced on disk; without a guard the new one starts only with the next start"));
  }
}

void MainScreen::Mausklick(int button, int x, int y) {
  if (!(x == -1 && y == -1)) {
    const QPoint p = normalisedPosition(x, y, screenW(), screenH());
    services_.desktop.mouseMoveNormalised(p.x(), p.y());
  }
  if (button == 1 || button == 2 || button == 4) services_.desktop.mouseClick(button);
}

void MainScreen::timerWinTick() {
  const QRect form(geometry().x() * kTwipsPerPixel, geometry().y() * kTwipsPerPixel,
                   geometry().width() * kTwipsPerPixel, geometry().height() * kTwipsPerPixel);
  const auto action = watchdogStep(services_.desktop.foregroundTitle(), form);
  if (!action) return;
  services_.desktop.setCursorPos(action->firstMove);
  if (action->click) Mausklick(1, -1, -1);
  if (action->secondMove) services_.desktop.setCursorPos(*action->secondMove);
}

}  // namespace quorvalis
