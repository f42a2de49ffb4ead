// Start-to-window probe for the start-up benchmark: starts a program and waits, on the display's
// own events, until a top-level window with the given title is mapped at the given size. Prints
// the milliseconds from the start to that moment and the program's process id; the program goes
// on running.
//
//   start_probe TITLE WIDTHxHEIGHT TIMEOUT_MS PROGRAM [ARGS...]
//
// Watching the display instead of asking it again and again (xdotool in a loop) takes no CPU
// from the program being started, and sees the moment itself rather than the next poll.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

Atom utf8Name = 0, utf8 = 0;  // interned once, before the program starts

std::string windowName(Display* dpy, Window w) {
  // Qt sets the UTF-8 name; the older one only where it fits Latin-1.
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(dpy, w, utf8Name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data) {
    name.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (name.empty()) {
    char* plain = nullptr;
    if (XFetchName(dpy, w, &plain) && plain) {
      name = plain;
      XFree(plain);
    }
  }
  return name;
}

// A top-level window shown with the title and the size.
bool found(Display* dpy, const std::string& title, int width, int height) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return false;
  bool hit = false;
  for (unsigned int i = 0; i < n && !hit; ++i) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable) continue;
    hit = a.width == width && a.height == height && windowName(dpy, children[i]) == title;
  }
  if (children) XFree(children);
  return hit;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0;
  if (argc < 5 || std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "usage: start_probe TITLE WIDTHxHEIGHT TIMEOUT_MS PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::string title = argv[1];
  const auto timeout = std::chrono::milliseconds(std::atoi(argv[3]));
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "start_probe: no display\n");
    return 2;
  }
  utf8Name = XInternAtom(dpy, "_NET_WM_NAME", False);
  utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  // Windows made, mapped and resized under the root, and every window's title set later.
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
  XSync(dpy, False);

  const Clock::time_point t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(ConnectionNumber(dpy));
    // Its output is not ours: a caller that reads ours would wait for the program to end.
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execvp(argv[4], argv + 4);
    _exit(127);
  }
  if (pid < 0) return 2;

  const Clock::time_point deadline = t0 + timeout;
  for (;;) {
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type == CreateNotify) XSelectInput(dpy, e.xcreatewindow.window, PropertyChangeMask);
    }
    // After each batch of events: the state of the display, not of the events, decides.
    if (found(dpy, title, width, height)) break;
    if (XPending(dpy)) continue;  // came in during the check's round trips: poll would not see them
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      std::fprintf(stderr, "start_probe: no window \"%s\" at %dx%d within %s ms\n", title.c_str(), width, height,
                   argv[3]);
      std::printf("- %d\n", static_cast<int>(pid));
      return 1;
    }
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  std::printf("%.1f %d\n", ms, static_cast<int>(pid));
  return 0;
}
