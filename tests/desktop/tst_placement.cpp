// The main window shown maximised on a real X display, with a window manager
// (it maximises, the title bar stays on the screen) and without one (the
// window takes the screen's room itself). TAVLIN_EXPECT_WM says which the
// display has.
#include "WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

class tst_Placement : public QObject {
    Q_OBJECT

private slots:
    void maximisedWithTheWindowManagerOrWithout();
    void startupIdTime_data();
    void startupIdTime();
    void aLaunchTimeActivatesAWindowBehind();
};

namespace {

// The X server's time now: the time stamp of a property change of a window
// of a connection of our own.
xcb_timestamp_t ServerTime() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return 0;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 4, "time");
    xcb_flush(connection);
    xcb_timestamp_t time = 0;
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const bool property = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        if (property) {
            time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        }
        std::free(event);
        if (property) {
            break;
        }
    }
    xcb_disconnect(connection);
    return time;
}

} // namespace

void tst_Placement::maximisedWithTheWindowManagerOrWithout() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const bool expectManager = qEnvironmentVariable("TAVLIN_EXPECT_WM") == QLatin1String("1");
    QCOMPARE(WindowPlacement::WindowManagerRuns(), expectManager);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavlin"));
    window.resize(914, 634);
    WindowPlacement::ShowMaximised(window);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    if (expectManager) {
        // The manager's own state: maximised, decorated, its title bar on the screen.
        QTRY_VERIFY_WITH_TIMEOUT(window.windowState().testFlag(Qt::WindowMaximized), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(window.width() > 914 &&
                                      window.frameGeometry().top() >= screen.top() &&
                                      window.geometry().top() > window.frameGeometry().top(),
                                  qPrintable(QStringLiteral("frame %1,%2 %3x%4, window top %5")
                                                 .arg(window.frameGeometry().left())
                                                 .arg(window.frameGeometry().top())
                                                 .arg(window.frameGeometry().width())
                                                 .arg(window.frameGeometry().height())
                                                 .arg(window.geometry().top())),
                                  10000);
        QVERIFY(screen.contains(window.frameGeometry()));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(window.geometry(), screen, 10000);
    }
}

void tst_Placement::startupIdTime_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<qulonglong>("time");
    QTest::newRow("launcher's id")
        << QByteArray("openbox/tavlin/4321-0-host_TIME123456") << 123456ULL;
    QTest::newRow("last _TIME counts") << QByteArray("a_TIME1_TIME77") << 77ULL;
    QTest::newRow("no time") << QByteArray("launcher-4321") << 0ULL;
    QTest::newRow("not a number") << QByteArray("id_TIMEnow") << 0ULL;
    QTest::newRow("beyond 32 bits") << QByteArray("id_TIME4294967296") << 0ULL;
    QTest::newRow("empty") << QByteArray() << 0ULL;
    QTest::newRow("Wayland token")
        << QByteArray("4f1c0c6e-2a5b-4d6f-9d3e-1b2c3d4e5f60_TIME0") << 0ULL;
}

void tst_Placement::startupIdTime() {
    QFETCH(QByteArray, id);
    QFETCH(qulonglong, time);
    QCOMPARE(static_cast<qulonglong>(WindowPlacement::StartupIdTime(id)), time);
}

void tst_Placement::aLaunchTimeActivatesAWindowBehind() {
    if (qEnvironmentVariable("TAVLIN_EXPECT_WM") != QLatin1String("1")) {
        QSKIP("only a window manager activates windows");
    }
    QWidget behind;
    behind.setWindowTitle(QStringLiteral("behind"));
    behind.resize(300, 200);
    behind.show();
    QVERIFY(QTest::qWaitForWindowActive(&behind));
    QWidget front;
    front.setWindowTitle(QStringLiteral("front"));
    front.resize(300, 200);
    front.show();
    QVERIFY(QTest::qWaitForWindowActive(&front));
    QVERIFY(!behind.isActiveWindow());

    // A copy started now by a launcher hands on its startup id.
    const xcb_timestamp_t now = ServerTime();
    QVERIFY(now != 0);
    WindowPlacement::Activate(behind, "launcher/tavlin/1-0-host_TIME" + QByteArray::number(now));
    QTRY_VERIFY_WITH_TIMEOUT(behind.isActiveWindow(), 10000);
}

QTEST_MAIN(tst_Placement)
#include "tst_placement.moc"
