// Touch-to-first-paint probe for the benchmarks: touches a point with XTest, waits for the window
// the touch opens to be mapped and first drawn into (XDamage), then touches its close key and
// waits for it to go. Prints the milliseconds from the touch to the map and to the first paint.
//
//   touch_probe X Y CLOSE_X CLOSE_Y MIN_HEIGHT [SHOT.ppm]
//
// The window is the first top-level that is mapped after the touch and is at least MIN_HEIGHT
// high (the band's own repaints and the news strip do not count). Its first paint is the first
// drawing the display reports inside it after it was mapped: a new window stands on top, so
// whatever is drawn there is its own. SHOT, when given, receives the window's pixels at that
// moment, to check that it is the screen's real frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The next event, or false once the deadline has passed.
bool nextEvent(Display* dpy, XEvent* event, Clock::time_point deadline) {
  while (!XPending(dpy)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left.count()));
  }
  XNextEvent(dpy, event);
  return true;
}

void touch(Display* dpy, int x, int y) {
  XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XFlush(dpy);
}

bool viewable(Display* dpy, Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
}

// The window's pixels as a binary PPM.
bool saveShot(Display* dpy, Window w, const char* path) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, w, &a)) return false;
  XImage* image = XGetImage(dpy, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return false;
  FILE* out = std::fopen(path, "wb");
  if (out) {
    std::fprintf(out, "P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                      static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, out);
      }
    std::fclose(out);
  }
  XDestroyImage(image);
  return out != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: touch_probe X Y CLOSE_X CLOSE_Y MIN_HEIGHT [SHOT.ppm]\n");
    return 2;
  }
  const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
  const int closeX = std::atoi(argv[3]), closeY = std::atoi(argv[4]);
  const int minHeight = std::atoi(argv[5]);
  const char* shot = argc > 6 ? argv[6] : nullptr;

  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "touch_probe: no display\n");
    return 1;
  }
  int damageEvent = 0, damageError = 0, xtest[4];
  if (!XDamageQueryExtension(dpy, &damageEvent, &damageError) ||
      !XTestQueryExtension(dpy, &xtest[0], &xtest[1], &xtest[2], &xtest[3])) {
    std::fprintf(stderr, "touch_probe: the display has no DAMAGE or XTEST\n");
    return 1;
  }
  const Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);

  // Without compositing every window draws into the screen: a damage record on the root window
  // reports all drawing, in the order the display does it, so none can come before the map
  // that is seen. A record made on the new window only once it exists could miss its paint.
  XDamageCreate(dpy, root, XDamageReportRawRectangles);
  std::set<Window> mappedBefore;
  Window rootReturn, parent, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(dpy, root, &rootReturn, &parent, &children, &count);
  for (unsigned int i = 0; i < count; ++i)
    if (viewable(dpy, children[i])) mappedBefore.insert(children[i]);
  if (children) XFree(children);
  XSync(dpy, False);
  XEvent event;
  while (XPending(dpy)) XNextEvent(dpy, &event);

  // The finger comes down where the button is, as a touch screen reports it.
  XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
  XSync(dpy, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const Clock::time_point t0 = Clock::now();
  touch(dpy, x, y);

  Window target = 0;
  XRectangle place{};  // the target's, on the screen
  double mapMs = -1, paintMs = -1;
  const Clock::time_point deadline = t0 + std::chrono::seconds(10);
  while (paintMs < 0 && nextEvent(dpy, &event, deadline)) {
    if (event.type == MapNotify && event.xmap.event == root && !target) {
      const Window w = event.xmap.window;
      XWindowAttributes a;
      if (mappedBefore.count(w) || !XGetWindowAttributes(dpy, w, &a) || a.height < minHeight)
        continue;
      target = w;
      place = {static_cast<short>(a.x), static_cast<short>(a.y),
               static_cast<unsigned short>(a.width), static_cast<unsigned short>(a.height)};
      mapMs = msSince(t0);
    } else if (event.type == damageEvent + XDamageNotify && target) {
      const XRectangle& r = reinterpret_cast<const XDamageNotifyEvent&>(event).area;
      if (r.x < place.x + place.width && place.x < r.x + r.width && r.y < place.y + place.height &&
          place.y < r.y + r.height)
        paintMs = msSince(t0);
    }
  }
  if (paintMs < 0) {
    std::fprintf(stderr, "touch_probe: %s within 10 s\n", target ? "no paint" : "no new window");
    return 1;
  }
  if (shot && !saveShot(dpy, target, shot)) std::fprintf(stderr, "touch_probe: no shot\n");

  // Shown for a moment as a person would see it, then left by its close key.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  touch(dpy, closeX, closeY);
  const Clock::time_point closeDeadline = Clock::now() + std::chrono::seconds(10);
  bool closed = false;
  while (!closed && nextEvent(dpy, &event, closeDeadline))
    closed = (event.type == UnmapNotify && event.xunmap.window == target) ||
             (event.type == DestroyNotify && event.xdestroywindow.window == target);
  if (!closed) {
    std::fprintf(stderr, "touch_probe: the window did not close\n");
    return 1;
  }
  std::printf("%.1f %.1f\n", mapMs, paintMs);
  XCloseDisplay(dpy);
  return 0;
}
