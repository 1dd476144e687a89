// Showing the main window maximised, with or without a window manager.
#pragma once

class QByteArray;
class QSize;
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

// Brings a shown window to the front with the keyboard, on behalf of the
// launch that gave token: on Wayland the compositor's activation token, on
// X11 a startup id whose time ("..._TIME<n>") is the user's action that
// launched. Where the desktop still keeps the window behind, it asks for the
// user's attention instead.
void Activate(QWidget& window, const QByteArray& token);

// The X server time of a startup id ("..._TIME<n>"), 0 when it has none.
unsigned long StartupIdTime(const QByteArray& startupId);

// The design's size of a window, made smaller where the screen's room (with
// a window manager's frame around it) is smaller: at a large scaling factor
// or on a small screen no window is larger than the screen.
QSize FitToScreen(const QSize& design, const QWidget& window);

// How far a row of controls that ends at designRight (the design's right
// edge of its rightmost control) moves left so that it ends inside a window
// width wide: 0 whenever the design's positions fit.
int ShiftToFit(int designRight, int width);

} // namespace WindowPlacement
