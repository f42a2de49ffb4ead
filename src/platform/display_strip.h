// A strip of a window whose pixels the display itself moves: its pictures are handed to the
// display once, and each step copies what shows into the window. No paint of the program's own and
// no pixels sent for a step, which on X11 is most of what a step a hundred times a second costs.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>

class QWidget;

namespace quorvalis {

class DisplayStrip {
 public:
  virtual ~DisplayStrip() = default;
  // For the window of widget, where the display can do it (X11, unscaled); nothing elsewhere.
  static std::unique_ptr<DisplayStrip> create(QWidget* widget);
  // background: one width of the strip, shown where the text is not; text: the text drawn over
  // the same background. Both opaque and as high as the strip.
  virtual bool setPictures(const QImage& background, const QImage& text) = 0;
  // Shows the text with its left edge at x of the strip (x may lie outside), the strip being
  // area in the window's pixels.
  virtual void show(const QRect& area, int x) = 0;
};

}  // namespace quorvalis
