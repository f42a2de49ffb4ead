// Windows: user32 for the foreground window and input, the Run key for autostart.
#include <windows.h>

#include <QDir>
#include <QSettings>
#include <QGuiApplication>
#include <QScreen>

#include "platform/desktop_common.h"

namespace quorvalis {
namespace {

class WindowsDesktop : public QtDesktop {
 public:
  using QtDesktop::QtDesktop;
  QString foregroundTitle() override {
    char title[256] = {};
    GetWindowTextA(GetForegroundWindow(), title, 255);
    return QString::fromLocal8Bit(title);
  }
  // Qt places windows in device-independent pixels; SetCursorPos takes the screen's own, which
  // are 1.25 or 1.5 times as many on a screen scaled to 125 or 150 %.
  void setCursorPos(QPoint p) override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    SetCursorPos(qRound(p.x() * ratio), qRound(p.y() * ratio));
  }
  void mouseMoveNormalised(int x, int y) override {
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE, static_cast<DWORD>(x),
                static_cast<DWORD>(y), 0, 0);
  }
  void mouseClick(int button) override {
    DWORD down = 0, up = 0;
    if (button == 1) down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
    else if (button == 2) down = MOUSEEVENTF_RIGHTDOWN, up = MOUSEEVENTF_RIGHTUP;
    else if (button == 4) down = MOUSEEVENTF_MIDDLEDOWN, up = MOUSEEVENTF_MIDDLEUP;
    else return;
    mouse_event(down, 0, 0, 0, 0);
    mouse_event(up, 0, 0, 0, 0);
  }
  void startOnScreenKeyboard() override {
    ShellExecuteA(nullptr, "open", "c:\\windows\\system32\\osk.exe", nullptr, nullptr,
                  SW_SHOWMINIMIZED);
  }
  QString autostart() override {
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
                     QSettings::NativeFormat)
        .value(QStringLiteral("quorvalis"))
        .toString();
  }
  void setAutostart(const QString& command) override {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      &key) != ERROR_SUCCESS)
      return;
    const QByteArray value = QDir::toNativeSeparators(command).toLocal8Bit();
    RegSetValueExA(key, "quorvalis", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.constData()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  }
};

}  // namespace

std::unique_ptr<Desktop> createDesktop(const QString& release) { return std::make_unique<WindowsDesktop>(release); }

QString executableName() { return QStringLiteral("quorval.exe"); }

}  // namespace quorvalis
