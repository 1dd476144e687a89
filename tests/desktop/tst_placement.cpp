// The main window shown maximised on a real X display, with a window manager
// (it maximises, the title bar stays on the screen) and without one (the
// window takes the screen's room itself). TAVLIN_EXPECT_WM says which the
// display has.
#include "WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

class tst_Placement : public QObject {
    Q_OBJECT

private slots:
    void maximisedWithTheWindowManagerOrWithout();
};

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

QTEST_MAIN(tst_Placement)
#include "tst_placement.moc"
