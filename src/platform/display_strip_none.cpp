#include "platform/display_strip.h"

namespace quorvalis {

// Windows and the offscreen platform: the widget scrolls its own pixels.
std::unique_ptr<DisplayStrip> DisplayStrip::create(QWidget*) { return nullptr; }

}  // namespace quorvalis
