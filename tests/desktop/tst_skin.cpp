// The windows with the skin applied, shown on an X display: every state keeps
// the geometry of the design (the skin colours and draws, it never moves or
// resizes a component) and shows what it should. With TAVLIN_SCREENSHOTS set,
// a screenshot of each state is saved there.
#include "Camera.h"
#include "FakeVcx.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "Main.h"
#include "Named.h"
#include "Skin.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QPainter>
#include <QTest>
#include <QTextLayout>

class tst_Skin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mainWindowStates_data();
    void mainWindowStates();
    void cameraWindow_data();
    void cameraWindow();
    void rareCharactersOfNamesAreDrawn();
    void picturesAreAsSharpAsTheScreen();

private:
    QTemporaryDir m_dir;
    FakeBrowser m_browser;
    FakeDialogs m_dialogs;
    FakeIdentity m_identity;
};

void tst_Skin::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    Skin::Apply(*qApp);
    QVERIFY(!qApp->styleSheet().isEmpty());
    QDir(m_dir.path()).mkdir(QStringLiteral("InspectConfig"));
    WriteFile(m_dir.filePath(QStringLiteral("InspectConfig/Config.ini")),
              "[URL]\r\nURL=aHR0cDovLzEyNy4wLjAuMTo5L2luc3BlY3Q=\r\n");
    m_identity.identity =
        EnterpriseIdentity{"R01", "4401000001", "SN-1", CodePage::FromUtf8("平安宾馆"), "", ""};
}

void tst_Skin::mainWindowStates_data() {
    QTest::addColumn<QString>("state");   // loading, or the titles of the pages in turn
    QTest::addColumn<bool>("document");   // false: the load failed
    QTest::addColumn<QString>("buttons"); // the title buttons shown, P I L C
    QTest::addColumn<bool>("message");    // the message panel covers the page
    QTest::addColumn<bool>("retry");      // the error texts with the retry link
    QTest::newRow("loading") << QString() << true << QStringLiteral("LC") << true << false;
    QTest::newRow("failed") << QStringLiteral("x") << false << QStringLiteral("LC") << true << true;
    QTest::newRow("login") << QStringLiteral("民警登录") << true << QStringLiteral("LC") << false
                           << false;
    QTest::newRow("home") << QStringLiteral("首页") << true << QStringLiteral("ILC") << false
                          << false;
    // A list page is reached from the home page (it leaves the panels as they are).
    QTest::newRow("list") << QStringLiteral("首页|检查记录列表") << true << QStringLiteral("ILC")
                          << false << false;
    QTest::newRow("photo") << QStringLiteral("企业监督检查信息添加") << true
                           << QStringLiteral("PILC") << false << false;
    QTest::newRow("unknown") << QStringLiteral("通知") << true << QStringLiteral("LC") << true
                             << true;
}

void tst_Skin::mainWindowStates() {
    QFETCH(QString, state);
    QFETCH(bool, document);
    QFETCH(QString, buttons);
    QFETCH(bool, message);
    QFETCH(bool, retry);
    m_browser.elements = {{QStringLiteral("Lbl_PoliceId"), QStringLiteral("110231")},
                          {QStringLiteral("Lbl_PoliceName"), QStringLiteral("张建国")},
                          {QStringLiteral("Lbl_PoliceOrgId"), QStringLiteral("城关派出所")}};
    TFrm_Tavlin window(m_browser, m_identity, m_dialogs, m_dir.path().toStdString() + "/");
    window.setGeometry(0, 0, 1366, 740); // on the 1366 x 768 screen
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (!state.isEmpty()) {
        m_browser.hasDocument = document;
        if (document) {
            for (const QString& title : state.split(u'|')) {
                m_browser.complete(title);
            }
        } else {
            m_browser.fail();
        }
        m_browser.hasDocument = true;
    }
    // The title buttons at their places of the design, 60 x 60.
    const struct {
        QChar key;
        ImageButton* button;
        int left;
    } places[] = {{u'P', Named<ImageButton>(window, "Img_Photo"), 673},
                  {u'I', Named<ImageButton>(window, "Img_Index"), 758},
                  {u'L', Named<ImageButton>(window, "Img_Login"), 844},
                  {u'C', Named<ImageButton>(window, "Img_Close"), 930}};
    for (const auto& place : places) {
        QCOMPARE(place.button->isVisible(), buttons.contains(place.key));
        QCOMPARE(place.button->geometry(), QRect(place.left, 3, 60, 60));
    }
    QCOMPARE(Named<QWidget>(window, "Pnl_Msg")->isVisible(), message);
    QCOMPARE(Named<ClickableLabel>(window, "Lb_Ref")->isVisible(), retry);
    QCOMPARE(Named<QLabel>(window, "Lb_Base")->isVisible(), retry);
    // The status bar's panels on the 200 / 250 / 400 / 50 grid, the last to the edge.
    const int lefts[] = {0, 200, 450, 850};
    const int widths[] = {200, 250, 400, window.width() - 850};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(StatusPanel(window, i)->geometry().left(), lefts[i]);
        QCOMPARE(StatusPanel(window, i)->width(), widths[i]);
        QVERIFY(StatusPanel(window, i)->isVisible());
    }
    QCOMPARE(StatusPanel(window, 0)->text(), QStringLiteral("企业编号：【4401000001】"));
    SaveScreenshot(&window,
                   QStringLiteral("skin-%1").arg(QString::fromLatin1(QTest::currentDataTag())));
}

void tst_Skin::cameraWindow_data() {
    QTest::addColumn<QStringList>("devices");
    QTest::newRow("with devices") << QStringList{QStringLiteral("USB Camera"),
                                                 QStringLiteral("高拍仪")};
    QTest::newRow("without devices") << QStringList{};
}

void tst_Skin::cameraWindow() {
    QFETCH(QStringList, devices);
    FakeVcx vcx;
    vcx.devices = devices;
    TFrm_Camera camera(vcx, m_dialogs, m_dir.path().toStdString() + "/");
    camera.show();
    QVERIFY(QTest::qWaitForWindowExposed(&camera));
    QCOMPARE(camera.size(), QSize(665, 530));
    QCOMPARE(Named<QLabel>(camera, "Label1")->geometry(), QRect(15, 19, 60, 12));
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->geometry(), QRect(77, 14, 404, 20));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Save")->geometry(), QRect(502, 11, 70, 25));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Exit")->geometry(), QRect(583, 11, 70, 25));
    QCOMPARE(vcx.previewWidget()->geometry(), QRect(13, 40, 640, 480));
    // The two buttons do not overlap and stay inside the window.
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")
                 ->geometry()
                 .intersects(Named<QPushButton>(camera, "Btn_Exit")->geometry()));
    QVERIFY(camera.rect().contains(Named<QPushButton>(camera, "Btn_Exit")->geometry()));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Save")->isEnabled(), !devices.isEmpty());
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->isEnabled(), !devices.isEmpty());
    if (devices.isEmpty()) {
        QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->currentText(),
                 QStringLiteral("没有可用的设备"));
    }
    SaveScreenshot(&camera, QStringLiteral("skin-camera-%1")
                                .arg(devices.isEmpty() ? QStringLiteral("no-device")
                                                       : QStringLiteral("devices")));
}

void tst_Skin::rareCharactersOfNamesAreDrawn() {
    // 𠮷 (CJK Extension B, four bytes in GB18030) and 㐀 (Extension A), as
    // people's and enterprises' names have them, in the status bar with the
    // skin's font and the fonts the package depends on. An unassigned code
    // point (U+0378) is what a missing glyph looks like: the empty box.
    const std::string name = m_identity.identity.EnterpriseName;
    m_identity.identity.EnterpriseName = CodePage::FromUtf8("吉𠮷㐀");
    TFrm_Tavlin window(m_browser, m_identity, m_dialogs, m_dir.path().toStdString() + "/");
    window.setGeometry(0, 0, 1366, 740);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLabel* panel = StatusPanel(window, 3);
    QCOMPARE(panel->text(), QStringLiteral("吉𠮷㐀"));
    const auto drawn = [panel](const QString& text) {
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(panel->font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, 64, 32), Qt::AlignCenter, text);
        return image;
    };
    const auto glyphs = [panel](const QString& text) {
        QTextLayout layout(text, panel->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QList<quint32> indexes;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            indexes += run.glyphIndexes();
        }
        return indexes;
    };
    const QImage box = drawn(QString(QChar(0x0378)));
    QVERIFY(glyphs(QString(QChar(0x0378))).contains(0)); // the check can fail
    for (const QString& rare : {QStringLiteral("𠮷"), QStringLiteral("㐀")}) {
        QVERIFY2(!glyphs(rare).contains(0), qPrintable(rare + QStringLiteral(" has no glyph")));
        QVERIFY2(drawn(rare) != box, qPrintable(rare + QStringLiteral(" is drawn as a box")));
    }
    SaveScreenshot(&window, QStringLiteral("skin-rare-characters"));
    m_identity.identity.EnterpriseName = name;
}

// How far two pictures of one size are apart: the mean difference of their
// pixels' grey, laid on the title strip's blue.
static double Difference(const QImage& a, const QImage& b) {
    const auto grey = [](const QImage& picture) {
        QImage laid(picture.size(), QImage::Format_RGB32);
        laid.fill(QColor(40, 91, 162));
        QPainter(&laid).drawImage(QRect(QPoint(0, 0), picture.size()), picture);
        return laid.convertToFormat(QImage::Format_Grayscale8);
    };
    const QImage ga = grey(a);
    const QImage gb = grey(b);
    if (ga.size() != gb.size()) {
        return 255;
    }
    double sum = 0;
    for (int y = 0; y < ga.height(); ++y) {
        for (int x = 0; x < ga.width(); ++x) {
            sum += std::abs(ga.constScanLine(y)[x] - gb.constScanLine(y)[x]);
        }
    }
    return sum / (double(ga.width()) * ga.height());
}

void tst_Skin::picturesAreAsSharpAsTheScreen() {
    // Run at 100 % (ui.skin) and at 200 % (ui.skin.200, QT_SCALE_FACTOR=2).
    TFrm_Tavlin window(m_browser, m_identity, m_dialogs, m_dir.path().toStdString() + "/");
    window.setGeometry(0, 0, 1366 / 2, 740 / 2);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const qreal ratio = window.devicePixelRatioF();
    auto* photo = Named<ImageButton>(window, "Img_Login");
    QTRY_VERIFY(!photo->pixmap().isNull());
    // The button keeps its place and size in the window at any scale ...
    QCOMPARE(photo->pixmap().deviceIndependentSize(), QSizeF(60, 60));
    QCOMPARE(photo->pixmap().devicePixelRatio(), ratio);
    QCOMPARE(photo->pixmap().size(), (QSizeF(60, 60) * ratio).toSize());
    if (ratio == 1.0) {
        return; // the pictures as they were drawn
    }
    // ... and at 200 % it is drawn in the screen's pixels from the picture
    // drawn at that size, not from the 100 % one scaled up (which a person
    // sees blurred and stepped). The same for the title strip.
    QImage drawn = photo->pixmap().toImage();
    drawn.setDevicePixelRatio(1);
    const QImage large(QStringLiteral(":/pictures/btn_login@2x.png"));
    const QImage scaledUp = QImage(QStringLiteral(":/pictures/btn_login.png"))
                                .scaled(large.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY2(Difference(drawn, large) < 1 && Difference(drawn, scaledUp) > 4,
             qPrintable(QStringLiteral("%1 from the large picture, %2 from the small one")
                            .arg(Difference(drawn, large))
                            .arg(Difference(drawn, scaledUp))));
    auto* title = Named<QLabel>(window, "Img_Title");
    const QImage strip = title->grab().toImage();
    const QSize pixels = (QSizeF(title->size()) * ratio).toSize();
    QCOMPARE(strip.size(), pixels);
    // As the label stretches a picture across the window.
    const auto stretched = [pixels](const QString& path) {
        return QImage(path).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const double fromLarge = Difference(strip, stretched(QStringLiteral(":/pictures/title@2x.jpg")));
    const double fromSmall = Difference(strip, stretched(QStringLiteral(":/pictures/title.jpg")));
    QVERIFY2(fromLarge < 1 && fromSmall > 2 * fromLarge,
             qPrintable(QStringLiteral("%1 from the large picture, %2 from the small one")
                            .arg(fromLarge)
                            .arg(fromSmall)));
    SaveScreenshot(&window, QStringLiteral("skin-200"));
}

QTEST_MAIN(tst_Skin)
#include "tst_skin.moc"
