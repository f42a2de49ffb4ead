#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>

#include "platform/display_strip.h"

// Xlib defines macros (None, Bool, Status) that clash with Qt's names: include it last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quorvalis {
namespace {

// The pictures live in the X server as pixmaps; a step is up to three copies from them into the
// window. Qt's own connection carries them, so they come in order with Qt's painting.
class X11Strip : public DisplayStrip {
 public:
  X11Strip(Display* display, Window window, Visual* visual, int depth)
      : display_(display), window_(window), visual_(visual), depth_(depth) {
    XGCValues values{};
    values.graphics_exposures = False;  // no event back for each copy
    gc_ = XCreateGC(display_, window_, GCGraphicsExposures, &values);
  }
  ~X11Strip() override {
    drop(background_);
    drop(text_);
    XFreeGC(display_, gc_);
  }

  bool setPictures(const QImage& background, const QImage& text) override {
    textWidth_ = text.width();
    backgroundWidth_ = background.width();
    return upload(background, background_) && upload(text, text_);
  }

  void show(const QRect& area, int x) override {
    if (!background_ || !text_) return;
    const int w = std::min(area.width(), backgroundWidth_), h = area.height();
    const int left = std::clamp(x, 0, w), right = std::clamp(x + textWidth_, 0, w);
    if (left > 0) XCopyArea(display_, background_, window_, gc_, 0, 0, left, h, area.x(), area.y());
    if (right > left)
      XCopyArea(display_, text_, window_, gc_, left - x, 0, right - left, h, area.x() + left, area.y());
    if (right < w) XCopyArea(display_, background_, window_, gc_, right, 0, w - right, h, area.x() + right, area.y());
    XFlush(display_);
  }

 private:
  void drop(Pixmap& pixmap) {
    if (pixmap) XFreePixmap(display_, pixmap);
    pixmap = 0;
  }
  bool upload(const QImage& picture, Pixmap& pixmap) {
    drop(pixmap);
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    if (image.isNull() || image.width() > 32767 || image.height() > 32767) return false;
    pixmap = XCreatePixmap(display_, window_, static_cast<unsigned>(image.width()),
                           static_cast<unsigned>(image.height()), static_cast<unsigned>(depth_));
    XImage* x = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                             reinterpret_cast<char*>(image.bits()), static_cast<unsigned>(image.width()),
                             static_cast<unsigned>(image.height()), 32, static_cast<int>(image.bytesPerLine()));
    if (!x) {
      drop(pixmap);
      return false;
    }
    x->byte_order = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? LSBFirst : MSBFirst;
    XPutImage(display_, pixmap, gc_, x, 0, 0, 0, 0, static_cast<unsigned>(image.width()),
              static_cast<unsigned>(image.height()));
    x->data = nullptr;  // the image's bytes stay Qt's
    XDestroyImage(x);
    return true;
  }

  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  GC gc_;
  Pixmap background_ = 0, text_ = 0;
  int textWidth_ = 0, backgroundWidth_ = 0;
};

}  // namespace

std::unique_ptr<DisplayStrip> DisplayStrip::create(QWidget* widget) {
  if (QGuiApplication::platformName() != QLatin1String("xcb") || widget->devicePixelRatioF() != 1.0) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return nullptr;
  const Window window = static_cast<Window>(widget->window()->winId());
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) || !attributes.visual) return nullptr;
  // The pictures are 32-bit RGB as the usual true-colour displays take them.
  const Visual* v = attributes.visual;
  if ((attributes.depth != 24 && attributes.depth != 32) || v->red_mask != 0xff0000 || v->green_mask != 0xff00 ||
      v->blue_mask != 0xff)
    return nullptr;
  return std::make_unique<X11Strip>(display, window, attributes.visual, attributes.depth);
}

}  // namespace quorvalis
