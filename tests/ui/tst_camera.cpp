// The camera window with a scripted control, and the real GStreamer
// control on a machine without a camera.
#include "Camera.h"
#include "CameraModuleLoader.h"
#include "CodePage.h"
#include "FakeVcx.h"
#include "Fakes.h"
#include "GstVcx.h"
#include "Named.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {} // namespace

class tst_Camera : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layoutAndTexts();
    void oldPhotoIsGoneAsSoonAsTheWindowExists();
    void noDevices();
    void listingFailureAfterTwoDevices();
    void deviceThatWillNotOpen();
    void deviceErrorWhileConnecting();
    void connectingLeavesTheWindowToTheOfficer();
    void leavingWhileConnectingShowsNothingLater();
    void deviceLostAfterConnectingWritesNoPhoto();
    void listFollowsCamerasPluggedAndUnplugged();
    void showingAgainDoesNotReconnect();
    void sameNamesAreTellApartByPosition();
    void choosingTheConnectedDeviceDoesNothing();
    void captureWithoutFileKeepsTheWindowOpen();
    void captureWritesAtQuality90AndCloses();
    void unwritablePhotoEndsTheWindowWithAReport();
    void exitTakesNoPhoto();
    void controlErrorsGoToTheGeneralReport();
    void realControlWithoutACamera();
    void cameraModuleLoadsOrSaysWhyNot();

private:
    std::string appPath() const { return m_dir->path().toStdString() + "/"; }
    FakeVcx& m_vcx() { return *m_vcxp; }
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeVcxPtr m_fake;
    FakeVcx* m_vcxp = nullptr;
    FakeDialogs m_dialogs;
};

void tst_Camera::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_fake = std::make_unique<FakeVcx>();
    m_vcxp = m_fake.get();
    m_vcx().devices = {QStringLiteral("USB Camera A"), QStringLiteral("USB Camera B")};
    m_dialogs.warnings.clear();
    m_dialogs.errors.clear();
    ClearLog();
}

void tst_Camera::cleanup() {
    ClearLog();
    m_fake.reset();
    m_dir.reset();
}

void tst_Camera::layoutAndTexts() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    QCOMPARE(camera.windowTitle(), QStringLiteral("拍照"));
    QCOMPARE(camera.size(), QSize(665, 530));
    QCOMPARE(Named<QLabel>(camera, "Label1")->text(), QStringLiteral("请选择设备"));
    QCOMPARE(Named<QLabel>(camera, "Label1")->geometry(), QRect(15, 19, 60, 12));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Save")->text(), QStringLiteral("拍  照"));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Save")->geometry(), QRect(502, 11, 70, 25));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Exit")->text(), QStringLiteral("退  出"));
    QCOMPARE(Named<QPushButton>(camera, "Btn_Exit")->geometry(), QRect(583, 11, 70, 25));
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->geometry(), QRect(77, 14, 404, 20));
    QCOMPARE(m_vcx().previewWidget()->geometry(), QRect(13, 40, 640, 480));
    QVERIFY(Named<QLabel>(camera, "Label2")->isHidden());
    QVERIFY(Named<QComboBox>(camera, "Cb_Range")->isHidden());
    QCOMPARE(camera.PhotoPath(), m_dir->path() + QStringLiteral("/USB_Temp.jpg"));
    // Tab order: the device box, the size box, capture, exit, the picture.
    const QList<QWidget*> order = {Named<QComboBox>(camera, "Cb_Device"),
                                   Named<QComboBox>(camera, "Cb_Range"),
                                   Named<QPushButton>(camera, "Btn_Save"),
                                   Named<QPushButton>(camera, "Btn_Exit"), m_vcx().previewWidget()};
    QList<QWidget*> chain;
    QWidget* w = Named<QComboBox>(camera, "Cb_Device");
    do {
        if (order.contains(w) && !chain.contains(w)) {
            chain.append(w);
        }
        w = w->nextInFocusChain();
    } while (w != Named<QComboBox>(camera, "Cb_Device"));
    QCOMPARE(chain, order);
    QVERIFY(!(camera.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(camera.windowFlags() & Qt::WindowMaximizeButtonHint));
}

void tst_Camera::oldPhotoIsGoneAsSoonAsTheWindowExists() {
    const QString old = m_dir->path() + QStringLiteral("/USB_Temp.jpg");
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old photo");
    file.close();
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    QVERIFY(!QFile::exists(old));
}

void tst_Camera::noDevices() {
    m_vcx().devices.clear();
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QVERIFY(!Named<QComboBox>(camera, "Cb_Device")->isEnabled());
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->currentText(),
             QStringLiteral("没有可用的设备"));
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY(Named<QPushButton>(camera, "Btn_Exit")->isEnabled());
    QVERIFY(m_dialogs.warnings.isEmpty());
    QVERIFY(!m_vcx().calls.contains(QStringLiteral("connect")));
    camera.close();
    QVERIFY(!camera.PhotoTaken());
}

void tst_Camera::listingFailureAfterTwoDevices() {
    m_vcx().devices.append(QStringLiteral("C"));
    m_vcx().failNameAt = 2;
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->count(), 2);
    QCOMPARE(m_dialogs.warnings, QStringList{QStringLiteral("加载设备失败")});
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY(LogText().contains(
        QStringLiteral("-----MAIN: 加载USB摄像头信息失败,原因：name of device 2 unreadable\r\n")));
}

void tst_Camera::deviceThatWillNotOpen() {
    m_vcx().refuseConnect = true;
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QCOMPARE(m_dialogs.warnings,
             QStringList{
                 QStringLiteral("【摄像头】没有连接或被其他程序使用,请先关闭这些程序或检查连接")});
    QVERIFY(Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY(!m_vcx().preview);
    // Support reads why in the log.
    QVERIFY(LogText().contains(
        QStringLiteral("-----MAIN: 连接设备失败,原因:device did not start\r\n")));
}

void tst_Camera::connectingLeavesTheWindowToTheOfficer() {
    m_vcx().deferOutcome = true;
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QVERIFY(m_vcx().calls.contains(QStringLiteral("connect")));
    // Showing returned before the device runs: no preview, and no photo yet.
    QVERIFY(!m_vcx().preview);
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.isVisible());
    QVERIFY(!camera.PhotoTaken());
    m_vcx().settle();
    QVERIFY(m_vcx().preview);
    QVERIFY(m_dialogs.warnings.isEmpty());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_Camera::leavingWhileConnectingShowsNothingLater() {
    m_vcx().deferOutcome = true;
    m_vcx().refuseConnect = true;
    {
        TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
        camera.show();
        QTest::mouseClick(Named<QPushButton>(camera, "Btn_Exit"), Qt::LeftButton);
        QVERIFY(!camera.isVisible());
        m_vcx().settle(); // the device's failure arrives after the window closed
        QVERIFY(m_dialogs.warnings.isEmpty());
    }
    QVERIFY(m_dialogs.errors.isEmpty());
}

void tst_Camera::deviceLostAfterConnectingWritesNoPhoto() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QVERIFY(m_vcx().preview);
    m_vcx().lose();
    // Told, and no photo until pictures come again.
    QCOMPARE(m_dialogs.warnings,
             QStringList{
                 QStringLiteral("【摄像头】没有连接或被其他程序使用,请先关闭这些程序或检查连接")});
    QVERIFY(
        LogText().contains(QStringLiteral("-----MAIN: 连接设备失败,原因:device unplugged\r\n")));
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.isVisible());
    QVERIFY(!camera.PhotoTaken());
    // Choosing the same camera again connects it once more.
    m_vcx().calls.clear();
    Named<QComboBox>(camera, "Cb_Device")->setCurrentIndex(0);
    emit Named<QComboBox>(camera, "Cb_Device")->activated(0);
    QVERIFY(m_vcx().calls.contains(QStringLiteral("connect")));
    QVERIFY(m_vcx().connected);
    QVERIFY(Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_Camera::listFollowsCamerasPluggedAndUnplugged() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    auto* box = Named<QComboBox>(camera, "Cb_Device");
    auto* save = Named<QPushButton>(camera, "Btn_Save");
    QCOMPARE(m_vcx().index, 0);
    // A camera plugged in: offered, the one in use stays selected and connected.
    m_vcx().calls.clear();
    m_vcx().replug(
        {QStringLiteral("USB Camera A"), QStringLiteral("USB Camera B"), QStringLiteral("高拍仪")},
        0);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(2), QStringLiteral("高拍仪"));
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(!m_vcx().calls.contains(QStringLiteral("connect")));
    // The camera in front of the one in use unplugged: the selection follows it.
    Named<QComboBox>(camera, "Cb_Device")->setCurrentIndex(1);
    emit box->activated(1);
    QCOMPARE(m_vcx().index, 1);
    m_vcx().replug({QStringLiteral("USB Camera B"), QStringLiteral("高拍仪")}, 0);
    QCOMPARE(box->currentText(), QStringLiteral("USB Camera B"));
    QVERIFY(m_dialogs.warnings.isEmpty());
    // Every camera unplugged: the window says there is none.
    m_vcx().replug({}, -1);
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->currentText(), QStringLiteral("没有可用的设备"));
    QVERIFY(!save->isEnabled());
    // A camera plugged in again: connected as when the window opened.
    m_vcx().calls.clear();
    m_vcx().replug({QStringLiteral("USB Camera C")}, -1);
    QVERIFY(box->isEnabled());
    QCOMPARE(box->currentText(), QStringLiteral("USB Camera C"));
    QVERIFY(m_vcx().calls.contains(QStringLiteral("index=0")));
    QVERIFY(m_vcx().connected);
    QVERIFY(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_Camera::showingAgainDoesNotReconnect() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    camera.showMinimized();
    camera.showNormal();
    camera.hide();
    camera.show();
    QCOMPARE(m_vcx().calls.count(QStringLiteral("connect")), 1);
}

void tst_Camera::deviceErrorWhileConnecting() {
    m_vcx().throwOnConnect = true;
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QCOMPARE(m_dialogs.warnings, QStringList{QStringLiteral("连接设备失败")});
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY(LogText().contains(
        QStringLiteral("-----MAIN: 连接设备失败,原因:device error while connecting\r\n")));
}

void tst_Camera::sameNamesAreTellApartByPosition() {
    m_vcx().devices = {QStringLiteral("USB Camera"), QStringLiteral("USB Camera")};
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->count(), 2);
    QCOMPARE(m_vcx().index, 0);
    QVERIFY(m_vcx().preview);
    m_vcx().calls.clear();
    Named<QComboBox>(camera, "Cb_Device")->setCurrentIndex(1);
    emit Named<QComboBox>(camera, "Cb_Device")
        ->activated(Named<QComboBox>(camera, "Cb_Device")->currentIndex());
    QCOMPARE(m_vcx().calls, (QStringList{QStringLiteral("disconnect"), QStringLiteral("index=1"),
                                         QStringLiteral("connect"), QStringLiteral("preview")}));
    QCOMPARE(m_vcx().index, 1);
    SaveScreenshot(&camera, QStringLiteral("camera-devices"));
}

void tst_Camera::choosingTheConnectedDeviceDoesNothing() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    m_vcx().calls.clear();
    Named<QComboBox>(camera, "Cb_Device")->setCurrentIndex(0);
    emit Named<QComboBox>(camera, "Cb_Device")
        ->activated(Named<QComboBox>(camera, "Cb_Device")->currentIndex());
    QVERIFY(m_vcx().calls.isEmpty());
    // Typed text selects no entry.
    QTest::keyClicks(Named<QComboBox>(camera, "Cb_Device")->lineEdit(), QStringLiteral(" typed"));
    QVERIFY(m_vcx().calls.isEmpty());
}

void tst_Camera::captureWithoutFileKeepsTheWindowOpen() {
    m_vcx().writeFile = false;
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.isVisible());
    QVERIFY(!camera.PhotoTaken());
    QVERIFY(m_dialogs.warnings.isEmpty());
    // A second press tries again.
    m_vcx().writeFile = true;
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
    QVERIFY(!camera.isVisible());
}

void tst_Camera::unwritablePhotoEndsTheWindowWithAReport() {
    const std::string folder = appPath() + "not-there/";
    TFrm_Camera camera(m_vcx(), m_dialogs, folder);
    camera.show();
    QVERIFY(m_vcx().connected);
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QCOMPARE(m_dialogs.errors.size(), 1);
    QVERIFY(m_dialogs.errors.first().contains(QString::fromStdString(folder + "USB_Temp.jpg")));
    QVERIFY(!camera.isVisible()); // never a window whose button can only fail again
    QVERIFY(!camera.PhotoTaken());
}

void tst_Camera::captureWritesAtQuality90AndCloses() {
    {
        TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
        camera.show();
        QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
        QVERIFY(camera.PhotoTaken());
        QCOMPARE(m_vcx().lastQuality, TFrm_Camera::kPhotoJpegQuality);
        QVERIFY(QFile::exists(camera.PhotoPath()));
        QVERIFY(m_vcx().connected); // still open while the opener imports
    }
    QVERIFY(!m_vcx().connected); // destroying the window closes the device
}

void tst_Camera::exitTakesNoPhoto() {
    // A photo taken, then the window shown again and left with 退  出.
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
    camera.show();
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Exit"), Qt::LeftButton);
    QVERIFY(!camera.PhotoTaken());
    QVERIFY(!camera.isVisible());
}

void tst_Camera::controlErrorsGoToTheGeneralReport() {
    TFrm_Camera camera(m_vcx(), m_dialogs, appPath());
    camera.show();
    Named<QComboBox>(camera, "Cb_Range")->addItem(QStringLiteral("640x480"));
    Named<QComboBox>(camera, "Cb_Range")->addItem(QStringLiteral("wide"));
    Named<QComboBox>(camera, "Cb_Range")->setCurrentIndex(0);
    emit Named<QComboBox>(camera, "Cb_Range")
        ->activated(Named<QComboBox>(camera, "Cb_Range")->currentIndex());
    QVERIFY(m_vcx().calls.contains(QStringLiteral("size=640x480")));
    Named<QComboBox>(camera, "Cb_Range")->setCurrentIndex(1);
    emit Named<QComboBox>(camera, "Cb_Range")
        ->activated(Named<QComboBox>(camera, "Cb_Range")->currentIndex());
    QCOMPARE(m_dialogs.errors.size(), 1);
    QVERIFY(camera.isVisible());
}

void tst_Camera::realControlWithoutACamera() {
    GstVcx vcx;
    if (vcx.CountVideoDevices() > 0) {
        QSKIP("this machine has a camera; the no-device road needs one without");
    }
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    camera.show();
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->currentText(),
             QStringLiteral("没有可用的设备"));
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY(!vcx.Connected());
    QVERIFY(!vcx.WriteFrameJpeg(camera.PhotoPath(), 90));
    QVERIFY(!QFile::exists(camera.PhotoPath()));
    QVERIFY_THROWS_EXCEPTION(VcxError, vcx.setConnected(true));
    SaveScreenshot(&camera, QStringLiteral("camera-no-device"));
}

void tst_Camera::cameraModuleLoadsOrSaysWhyNot() {
    // A module that cannot be loaded gives a control without cameras whose
    // listing fails with the reason.
    const auto failure = [](CameraModuleLoader& loader) {
        const std::unique_ptr<Vcx> control = loader.create();
        try {
            control->CountVideoDevices();
        } catch (const VcxError& e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // No module: the error names the file, and asking again says it again.
    CameraModuleLoader missing(dir.filePath(QStringLiteral("tavlin-camera.so")));
    const QString why = failure(missing);
    QVERIFY2(why.contains(dir.filePath(QStringLiteral("tavlin-camera.so"))), qPrintable(why));
    QCOMPARE(failure(missing), why);
    // The camera window takes the listing's failure road: its box, its log
    // line with the reason, 拍  照 disabled, and it still closes.
    {
        const std::unique_ptr<Vcx> control = missing.create();
        TFrm_Camera camera(*control, m_dialogs, appPath());
        camera.show();
        QCOMPARE(m_dialogs.warnings, QStringList{QStringLiteral("加载设备失败")});
        QVERIFY(m_dialogs.errors.isEmpty());
        QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
        QVERIFY(Named<QPushButton>(camera, "Btn_Exit")->isEnabled());
        QVERIFY2(LogText().contains(QStringLiteral("-----MAIN: 加载USB摄像头信息失败,原因：") + why),
                 qPrintable(LogText()));
        camera.close();
        QVERIFY(!camera.PhotoTaken());
    }
    // A file that is no shared library.
    const QString text = dir.filePath(QStringLiteral("not-a-module.so"));
    WriteFile(text, "not a module");
    CameraModuleLoader wrong(text);
    QVERIFY(failure(wrong).contains(text));

    // The built module makes working controls, each a new one.
    CameraModuleLoader module(QStringLiteral(TAVLIN_BIN_DIR "/") +
                              QLatin1String(CameraModuleLoader::kFileName));
    const std::unique_ptr<Vcx> first = module.create();
    const std::unique_ptr<Vcx> second = module.create();
    QVERIFY(first && second && first.get() != second.get());
    QVERIFY(first->CountVideoDevices() >= 0);
    QVERIFY(!first->Connected());
    // Its preview is the child of the window that shows it, and goes with it.
    QVERIFY(first->previewWidget() == nullptr);
    auto window = std::make_unique<QWidget>();
    QWidget* preview = first->createPreview(window.get());
    QVERIFY(preview != nullptr && preview->parent() == window.get());
    window.reset();
    QVERIFY(first->previewWidget() == nullptr);
}

QTEST_MAIN(tst_Camera)
#include "tst_camera.moc"
