#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace WindowPlacement {

namespace {

// The atom of name; XCB_ATOM_NONE when onlyIfExists and nobody made it yet.
xcb_atom_t Atom(xcb_connection_t* connection, const char* name, bool onlyIfExists = false) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, onlyIfExists ? 1 : 0,
                                              static_cast<std::uint16_t>(std::strlen(name)), name),
                              nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

bool WindowManagerRuns() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return true;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK", true);
    if (check == XCB_ATOM_NONE) {
        return false; // never announced by anyone
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool runs = property != nullptr && property->type == XCB_ATOM_WINDOW &&
                      xcb_get_property_value_length(property) == 4;
    std::free(property);
    return runs;
}

namespace {

// Whether the window manager holds the X window maximised (_NET_WM_STATE),
// whatever Qt believes; true where that cannot be asked (not X11).
bool ManagerShowsMaximised(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return true;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t vertical = Atom(connection, "_NET_WM_STATE_MAXIMIZED_VERT");
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(window.winId()), state,
                         XCB_ATOM_ATOM, 0, 32),
        nullptr);
    bool maximised = false;
    if (property != nullptr && property->type == XCB_ATOM_ATOM) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(property));
        const int count = xcb_get_property_value_length(property) / 4;
        for (int i = 0; i < count; ++i) {
            maximised = maximised || atoms[i] == vertical;
        }
    }
    std::free(property);
    return maximised;
}

// Once the window is on the screen, asks again if the manager did not take
// the first request: the program's main window, shown maximised at its
// start, stayed at its restored size under openbox (its first request is
// made while Qt still prepares the window), while a request to the shown
// window is followed.
class MaximiseOnceShown : public QObject {
public:
    explicit MaximiseOnceShown(QWidget& window) : QObject(&window), m_window(window) {
        window.windowHandle()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && m_window.windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, &m_window, [window = &m_window] {
                if (!ManagerShowsMaximised(*window)) {
                    window->setWindowState(window->windowState() & ~Qt::WindowMaximized);
                    window->showMaximized();
                }
            });
            deleteLater();
        }
        return false;
    }

private:
    QWidget& m_window;
};

} // namespace

void ShowMaximised(QWidget& window) {
    window.showMaximized();
    if (!WindowManagerRuns()) {
        if (window.screen() != nullptr) {
            window.setGeometry(window.screen()->availableGeometry());
        }
        return;
    }
    if (window.windowHandle() != nullptr && !window.windowHandle()->isExposed()) {
        new MaximiseOnceShown(window);
    }
}

QSize FitToScreen(const QSize& design, const QWidget& window) {
    // A window manager's frame: its title bar and borders.
    constexpr int kFrameWidth = 8;
    constexpr int kFrameHeight = 32;
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return design;
    }
    const QRect room = screen->availableGeometry();
    return {std::min(design.width(), room.width() - kFrameWidth),
            std::min(design.height(), room.height() - kFrameHeight)};
}

int ShiftToFit(int designRight, int width) {
    return std::max(0, designRight - width);
}

} // namespace WindowPlacement
