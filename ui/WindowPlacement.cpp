#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace WindowPlacement {

bool WindowManagerRuns() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return true;
    }
    xcb_connection_t* connection = x11->connection();
    static const char kCheck[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, std::strlen(kCheck), kCheck), nullptr);
    if (atom == nullptr) {
        return false;
    }
    const xcb_atom_t check = atom->atom;
    std::free(atom);
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

void ShowMaximised(QWidget& window) {
    window.showMaximized();
    if (!WindowManagerRuns() && window.screen() != nullptr) {
        window.setGeometry(window.screen()->availableGeometry());
    }
}

} // namespace WindowPlacement
