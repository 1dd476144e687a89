// Showing the main window maximised, with or without a window manager.
#pragma once

class QWidget;

namespace WindowPlacement {

// Whether a window manager runs on the display: one that follows the desktop
// conventions announces itself on the root window. Other platforms than X11
// always have one that maximises.
bool WindowManagerRuns();

// Shows window maximised through the window manager's own state; where no
// window manager runs (a kiosk session, a bare X server) nothing would
// maximise it, so it is given the screen's room itself.
void ShowMaximised(QWidget& window);

} // namespace WindowPlacement
