#pragma once
// Placing top-level windows.
class QWidget;

namespace quillory {

// Moves `window` so that its frame is centred on its screen: on the work
// area (the screen without task bars) when `workArea` is set, else on the
// whole screen. Does nothing for a window without a screen.
void CentreOnScreen(QWidget& window, bool workArea);

} // namespace quillory
