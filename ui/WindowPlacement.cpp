#include "WindowPlacement.h"

#include <QApplication>
#include <QByteArray>
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

// The X server connection, or null where the platform is not X11.
xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace

bool WindowManagerRuns() {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return true;
    }
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

// Whether the window manager holds the window maximised. On X11 that is the
// window's _NET_WM_STATE, whatever Qt believes; elsewhere (Wayland) Qt's
// state of the window is what the compositor last configured it with.
bool ManagerShowsMaximised(QWidget& window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return window.windowHandle() == nullptr ||
               window.windowHandle()->windowStates().testFlag(Qt::WindowMaximized);
    }
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
// start, stayed at its restored size under openbox and under mutter (its
// first request is made while Qt still prepares the window, and on Wayland
// it never reached the compositor), while a request to the shown window is
// followed.
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

unsigned long StartupIdTime(const QByteArray& startupId) {
    const qsizetype at = startupId.lastIndexOf("_TIME");
    if (at < 0) {
        return 0;
    }
    bool ok = false;
    const unsigned long time = startupId.mid(at + 5).toULong(&ok);
    return ok && time <= 0xffffffffUL ? time : 0;
}

namespace {

// Asks the window manager to activate window as of the user's action at
// time (the EWMH request of an application, _NET_ACTIVE_WINDOW).
void RequestActiveWindow(xcb_connection_t* connection, xcb_window_t window, xcb_timestamp_t time) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(connection, "_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 1; // from an application
    message.data.data32[1] = time;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

} // namespace

void Activate(QWidget& window, const QByteArray& token) {
    xcb_connection_t* connection = X11Connection();
    const unsigned long launchTime = StartupIdTime(token);
    if (connection != nullptr && launchTime != 0) {
        // The launch's own time: a manager that prevents focus stealing lets
        // a request as recent as the user's action through.
        RequestActiveWindow(connection, static_cast<xcb_window_t>(window.winId()),
                            static_cast<xcb_timestamp_t>(launchTime));
    } else {
        if (connection == nullptr && !token.isEmpty()) {
            // Qt's Wayland shell activates with the token it finds here, and
            // takes it away again.
            qputenv("XDG_ACTIVATION_TOKEN", token);
        }
        window.activateWindow();
    }
    QTimer::singleShot(1000, &window, [target = &window] {
        if (!target->isActiveWindow()) {
            QApplication::alert(target);
        }
    });
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
