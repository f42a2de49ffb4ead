#pragma once

class QWidget;

namespace quorvalis {

// Puts a window above all non-topmost windows without moving or resizing it.
void SetTopmost(QWidget* window);

}  // namespace quorvalis
