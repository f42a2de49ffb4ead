// Linux: X11 for the foreground window and XTest for synthetic input, when running on xcb.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

#include "platform/desktop_common.h"
#include "platform/file_write.h"

// Xlib defines macros (None, Bool, Status) that clash with Qt's names: include it last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace quorvalis {
namespace {

class X11Desktop : public QtDesktop {
 public:
  explicit X11Desktop(const QString& release) : QtDesktop(release) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) display_ = XOpenDisplay(nullptr);
  }
  ~X11Desktop() override {
    if (display_) XCloseDisplay(display_);
  }

  QString foregroundTitle() override {
    if (!display_) return {};
    Window window = activeWindow();
    if (!window) {
      int revert = 0;
      XGetInputFocus(display_, &window, &revert);
    }
    if (window == 0 || window == PointerRoot) return {};
    const QString netName = utf8Property(window, "_NET_WM_NAME");
    if (!netName.isEmpty()) return netName;
    char* name = nullptr;
    QString title;
    if (XFetchName(display_, window, &name) && name) title = QString::fromLocal8Bit(name);
    if (name) XFree(name);
    return title;
  }

  void setCursorPos(QPoint p) override {
    if (!display_) return;
    XWarpPointer(display_, 0, DefaultRootWindow(display_), 0, 0, 0, 0, p.x(), p.y());
    XFlush(display_);
  }

  void mouseMoveNormalised(int x, int y) override {
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    const long px = static_cast<long>(x) * DisplayWidth(display_, screen) / 65535;
    const long py = static_cast<long>(y) * DisplayHeight(display_, screen) / 65535;
    XTestFakeMotionEvent(display_, screen, static_cast<int>(px), static_cast<int>(py), CurrentTime);
    XFlush(display_);
  }

  void mouseClick(int button) override {
    if (!display_) return;
    const unsigned int x11Button = button == 1 ? 1 : button == 2 ? 3 : button == 4 ? 2 : 0;
    if (!x11Button) return;
    XTestFakeButtonEvent(display_, x11Button, True, CurrentTime);
    XTestFakeButtonEvent(display_, x11Button, False, CurrentTime);
    XFlush(display_);
  }

  void startOnScreenKeyboard() override {
    for (const char* name : {"onboard", "florence", "matchbox-keyboard"}) {
      const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
      if (!program.isEmpty()) {
        startProgram(program, {});
        return;
      }
    }
  }

  void setAutostart(const QString& command) override {
    // The XDG counterpart of the Run value: always present, pointing at the program or at a
    // file that does not exist.
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart";
    QDir().mkpath(dir);
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\nType=Application\nName=quorvalis\nExec=\"%1\"\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(command);
    writeFileAtomically(dir + "/quorvalis.desktop", entry.toUtf8());
  }
  QString autostart() override {
    QFile entry(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                "/autostart/quorvalis.desktop");
    if (!entry.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : entry.readAll().split('\n'))
      if (line.startsWith("Exec=")) return QString::fromUtf8(line.mid(5)).remove(u'"');
    return {};
  }

 private:
  Window activeWindow() {
    const Atom atom = XInternAtom(display_, "_NET_ACTIVE_WINDOW", True);
    if (atom == 0) return 0;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window window = 0;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), atom, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
      window = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    return window;
  }

  QString utf8Property(Window window, const char* name) {
    const Atom atom = XInternAtom(display_, name, True);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", True);
    if (atom == 0 || utf8 == 0) return {};
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QString value;
    if (XGetWindowProperty(display_, window, atom, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 8)
      value = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    if (data) XFree(data);
    return value;
  }

  Display* display_ = nullptr;
};

}  // namespace

std::unique_ptr<Desktop> createDesktop(const QString& release) { return std::make_unique<X11Desktop>(release); }

QString executableName() { return QStringLiteral("quorval"); }

}  // namespace quorvalis
