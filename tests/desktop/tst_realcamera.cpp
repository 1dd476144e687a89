// The camera window with the real GStreamer control and the virtual
// cameras, on an X display with OpenGL: what the officer sees and what the
// photo holds.
#include "Camera.h"
#include "CameraView.h"
#include "Fakes.h"
#include "GstVcx.h"
#include "JpegTables.h"
#include "Named.h"
#include "VirtualCameras.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

const QString kNotConnected =
    QStringLiteral("【摄像头】没有连接或被其他程序使用,请先关闭这些程序或检查连接");

bool Near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class tst_RealCamera : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void camerasAreListedInTheirOrder();
    void everyWindowListsEachCameraOnce();
    void previewAndPhotoShowTheCamerasPicture_data();
    void previewAndPhotoShowTheCamerasPicture();
    void coloursOfEveryFormatAndColourSpace_data();
    void coloursOfEveryFormatAndColourSpace();
    void documentCameraIsPhotographedAtItsLargestSize();
    void aPictureLargerThanTheSitesLargestIsScaledDown();
    void secondOfTwoSameNamedCamerasIsTheOneConnected();
    void cameraThatCannotStart();
    void cameraSlowToDeliverItsFirstPicture();
    void cameraThatStopsDelivering();
    void cameraUnpluggedWhileInUse();
    void cameraPluggedInWhileTheWindowIsOpen();
    void nameCutInsideACharacter();
    void noReaderSeesAHalfWrittenPhoto();
    void photoThatCannotBeWrittenEndsTheWindowWithTheReason();

private:
    std::string appPath() const { return m_dir->path().toStdString() + "/"; }
    // The colour of the middle of the preview, as the screen shows it.
    QColor previewColour(TFrm_Camera& camera);
    // Shows the window and waits until its camera runs.
    bool showConnected(TFrm_Camera& camera, GstVcx& vcx);
    static QStringList entries(TFrm_Camera& camera);
    static void choose(TFrm_Camera& camera, int entry);

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeDialogs m_dialogs;
};

// Read and write for owner, group and others (Qt gives the owner's bits twice:
// as ReadOwner and as ReadUser).
constexpr QFileDevice::Permissions kEveryonesBits =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
    QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
    QFileDevice::ReadOther | QFileDevice::WriteOther;

void tst_RealCamera::initTestCase() {
    // What this test proves hides under the offscreen platform.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void tst_RealCamera::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs.warnings.clear();
    m_dialogs.errors.clear();
    ClearLog();
}

void tst_RealCamera::cleanup() {
    ClearLog();
    m_dir.reset();
}

QColor tst_RealCamera::previewColour(TFrm_Camera& camera) {
    const QImage shot = camera.screen()->grabWindow(camera.winId()).toImage();
    return shot.pixelColor(13 + 320, 40 + 240);
}

QStringList tst_RealCamera::entries(TFrm_Camera& camera) {
    QStringList names;
    auto* box = Named<QComboBox>(camera, "Cb_Device");
    for (int i = 0; i < box->count(); ++i) {
        names.append(box->itemText(i));
    }
    return names;
}

// The officer picks an entry of the device box.
void tst_RealCamera::choose(TFrm_Camera& camera, int entry) {
    auto* box = Named<QComboBox>(camera, "Cb_Device");
    box->setCurrentIndex(entry);
    emit box->activated(entry);
}

bool tst_RealCamera::showConnected(TFrm_Camera& camera, GstVcx& vcx) {
    camera.show();
    if (!QTest::qWaitForWindowExposed(&camera)) {
        return false;
    }
    return QTest::qWaitFor([&vcx] { return vcx.Connected(); }, 20000);
}

void tst_RealCamera::camerasAreListedInTheirOrder() {
    QVERIFY(VirtualCameras::set({QStringLiteral("name=USB Camera;colour=ff0000"),
                                 QStringLiteral("name=高拍仪 HD;format=mjpeg;colour=0000ff"),
                                 QStringLiteral("name=USB Camera;colour=00ff00")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->count(), 3);
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->itemText(0), QStringLiteral("USB Camera"));
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->itemText(1), QStringLiteral("高拍仪 HD"));
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->itemText(2), QStringLiteral("USB Camera"));
    QVERIFY(showConnected(camera, vcx));
    QCOMPARE(vcx.VideoDeviceIndex(), 0);
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->currentIndex(), 0);
}

void tst_RealCamera::everyWindowListsEachCameraOnce() {
    // The system's provider announces the cameras present while it starts:
    // each is both in the list and in an announcement, and counts once.
    const QStringList cameras = {QStringLiteral("id=a;name=USB Camera"),
                                 QStringLiteral("id=b;name=高拍仪 HD;format=mjpeg"),
                                 QStringLiteral("id=c;name=USB Camera")};
    QVERIFY(VirtualCameras::set(cameras));
    const QStringList names = {QStringLiteral("USB Camera"), QStringLiteral("高拍仪 HD"),
                               QStringLiteral("USB Camera")};
    for (int window = 1; window <= 10; ++window) {
        GstVcx vcx;
        TFrm_Camera camera(vcx, m_dialogs, appPath());
        if (window == 2 || window == 10) {
            // After the announcements have been delivered too.
            QVERIFY(showConnected(camera, vcx));
            QTest::qWait(300);
        }
        QVERIFY2(entries(camera) == names,
                 qPrintable(QStringLiteral("window %1: %2")
                                .arg(window)
                                .arg(entries(camera).join(QStringLiteral(" | ")))));
    }
    // Unplugged, a camera is in no later window.
    QVERIFY(VirtualCameras::change({cameras.at(0), cameras.at(2)}));
    for (int window = 1; window <= 3; ++window) {
        GstVcx vcx;
        TFrm_Camera camera(vcx, m_dialogs, appPath());
        QVERIFY(showConnected(camera, vcx));
        QTest::qWait(300);
        QCOMPARE(entries(camera), (QStringList{names.at(0), names.at(2)}));
    }
    QVERIFY(m_dialogs.warnings.isEmpty());
}

void tst_RealCamera::previewAndPhotoShowTheCamerasPicture_data() {
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("raw webcam 640x480")
        << QStringLiteral("name=Webcam;format=raw;size=640x480;colour=c03020") << QSize(640, 480)
        << QColor(0xc0, 0x30, 0x20);
    QTest::newRow("mjpeg camera 1920x1080")
        << QStringLiteral("name=USB 2.0 Camera;format=mjpeg;size=1920x1080;fps=15;colour=2050d0")
        << QSize(1920, 1080) << QColor(0x20, 0x50, 0xd0);
}

void tst_RealCamera::previewAndPhotoShowTheCamerasPicture() {
    QFETCH(QString, camera);
    QFETCH(QSize, size);
    QFETCH(QColor, colour);
    QVERIFY(VirtualCameras::set({camera}));
    GstVcx vcx;
    TFrm_Camera window(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(window, vcx));
    // The live picture is on the screen, not a black area.
    QTRY_VERIFY2_WITH_TIMEOUT(Near(previewColour(window), colour),
                              qPrintable(previewColour(window).name()), 10000);
    SaveScreenshot(&window, QStringLiteral("camera-preview"));

    QTest::mouseClick(Named<QPushButton>(window, "Btn_Save"), Qt::LeftButton);
    QVERIFY(window.PhotoTaken());
    QVERIFY(!window.isVisible());
    const QByteArray jpeg = ReadFileBytes(window.PhotoPath());
    QImage photo;
    QVERIFY(photo.loadFromData(jpeg, "JPEG"));
    QCOMPARE(photo.size(), size);
    QVERIFY2(Near(photo.pixelColor(size.width() / 2, size.height() / 2), colour),
             qPrintable(photo.pixelColor(size.width() / 2, size.height() / 2).name()));
    // Written at quality 90: the standard tables scaled as libjpeg scales them.
    const QList<JpegTables::Table> tables = JpegTables::Read(jpeg);
    QCOMPARE(tables.size(), 2);
    QVERIFY(tables.at(0) ==
            JpegTables::Scaled(JpegTables::kLuminance, TFrm_Camera::kPhotoJpegQuality));
    QVERIFY(tables.at(1) ==
            JpegTables::Scaled(JpegTables::kChrominance, TFrm_Camera::kPhotoJpegQuality));
    QVERIFY(tables.at(0) != JpegTables::Scaled(JpegTables::kLuminance, 75));
    // The officer's alone, whatever the umask, and also over an old photo
    // that others could read.
    QCOMPARE(QFileInfo(window.PhotoPath()).permissions() & kEveryonesBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    QVERIFY(QFile::setPermissions(window.PhotoPath(), kEveryonesBits));
    const QString part = window.PhotoPath() + QStringLiteral(".part");
    WriteFile(part, "left by a killed run");
    QVERIFY(QFile::setPermissions(part, kEveryonesBits));
    QVERIFY(vcx.WriteFrameJpeg(window.PhotoPath(), TFrm_Camera::kPhotoJpegQuality));
    QCOMPARE(QFileInfo(window.PhotoPath()).permissions() & kEveryonesBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    QVERIFY(m_dialogs.warnings.isEmpty());
    QCOMPARE(LogText(), QString());
}

void tst_RealCamera::coloursOfEveryFormatAndColourSpace_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("colorimetry");
    const char* const formats[][3] = {
        {"yuy2", "640x480", "bt601"},  {"nv12", "640x480", "bt601"},
        {"i420", "640x480", "bt601"},  {"mjpeg", "1280x720", "bt601"},
        {"yuy2", "1280x720", "bt709"}, {"nv12", "1920x1080", "bt709"},
    };
    for (const auto& format : formats) {
        QTest::addRow("%s %s %s", format[0], format[1], format[2])
            << QString::fromLatin1(format[0]) << QString::fromLatin1(format[1])
            << QString::fromLatin1(format[2]);
    }
}

void tst_RealCamera::coloursOfEveryFormatAndColourSpace() {
    QFETCH(QString, format);
    QFETCH(QString, size);
    QFETCH(QString, colorimetry);
    // Colours whose channels a wrong matrix moves far: blue, yellow, red, cyan.
    const QList<QColor> colours = {QColor(0, 0, 255), QColor(255, 255, 0), QColor(255, 0, 0),
                                   QColor(0, 255, 255)};
    for (const QColor& colour : colours) {
        QVERIFY(VirtualCameras::set({QStringLiteral("name=Camera;format=%1;size=%2;colorimetry=%3;"
                                                    "colour=%4")
                                         .arg(format, size, colorimetry, colour.name().mid(1))}));
        GstVcx vcx;
        TFrm_Camera window(vcx, m_dialogs, appPath());
        QVERIFY(showConnected(window, vcx));
        QTRY_VERIFY2_WITH_TIMEOUT(Near(previewColour(window), colour, 6),
                                  qPrintable(QStringLiteral("preview %1 for %2")
                                                 .arg(previewColour(window).name(), colour.name())),
                                  10000);
        if (colour == colours.first()) {
            SaveScreenshot(&window, QStringLiteral("camera-colour-%1-%2").arg(format, colorimetry));
        }
        QTest::mouseClick(Named<QPushButton>(window, "Btn_Save"), Qt::LeftButton);
        QVERIFY(window.PhotoTaken());
        QImage photo(window.PhotoPath());
        QVERIFY(!photo.isNull());
        const QColor middle = photo.pixelColor(photo.width() / 2, photo.height() / 2);
        QVERIFY2(Near(middle, colour, 6),
                 qPrintable(QStringLiteral("photo %1 for %2").arg(middle.name(), colour.name())));
    }
    QVERIFY(m_dialogs.warnings.isEmpty());
}

void tst_RealCamera::documentCameraIsPhotographedAtItsLargestSize() {
    // Its largest raw mode is too slow to preview; the same size in MJPEG is not.
    QVERIFY(VirtualCameras::set({QStringLiteral(
        "name=Document Camera;modes=YUY2:2592x1944@2,MJPG:2592x1944@15,MJPG:640x480@30;"
        "colour=3060c0")}));
    GstVcx vcx;
    TFrm_Camera window(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(window, vcx));
    QCOMPARE(vcx.captureSize(), QSize(2592, 1944));
    QTRY_VERIFY_WITH_TIMEOUT(Near(previewColour(window), QColor(0x30, 0x60, 0xc0), 6), 10000);
    QTest::mouseClick(Named<QPushButton>(window, "Btn_Save"), Qt::LeftButton);
    QVERIFY(window.PhotoTaken());
    QImage photo(window.PhotoPath());
    QCOMPARE(photo.size(), QSize(2592, 1944));
    QVERIFY(Near(photo.pixelColor(1296, 972), QColor(0x30, 0x60, 0xc0), 6));
}

void tst_RealCamera::aPictureLargerThanTheSitesLargestIsScaledDown() {
    // A camera with no mode within the site's largest photo: it previews in
    // the mode closest to it, and the photo is scaled down to fit, its shape
    // and colours kept.
    QVERIFY(VirtualCameras::set({QStringLiteral(
        "name=Document Camera;modes=MJPG:2592x1944@15,YUY2:1920x1080@5;colour=3060c0")}));
    GstVcx vcx;
    vcx.setLargestPicture(640, 480);
    TFrm_Camera window(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(window, vcx));
    QCOMPARE(vcx.captureSize(), QSize(1920, 1080));
    QTRY_VERIFY_WITH_TIMEOUT(Near(previewColour(window), QColor(0x30, 0x60, 0xc0), 6), 10000);
    QTest::mouseClick(Named<QPushButton>(window, "Btn_Save"), Qt::LeftButton);
    QVERIFY(window.PhotoTaken());
    QImage photo(window.PhotoPath());
    QCOMPARE(photo.size(), QSize(640, 360));
    QVERIFY(Near(photo.pixelColor(320, 180), QColor(0x30, 0x60, 0xc0), 6));
}

void tst_RealCamera::secondOfTwoSameNamedCamerasIsTheOneConnected() {
    QVERIFY(VirtualCameras::set({QStringLiteral("name=USB Camera;colour=e02020"),
                                 QStringLiteral("name=USB Camera;colour=20e020")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(camera, vcx));
    QTRY_VERIFY_WITH_TIMEOUT(Near(previewColour(camera), QColor(0xe0, 0x20, 0x20)), 10000);
    Named<QComboBox>(camera, "Cb_Device")->setCurrentIndex(1);
    emit Named<QComboBox>(camera, "Cb_Device")
        ->activated(Named<QComboBox>(camera, "Cb_Device")->currentIndex());
    QCOMPARE(vcx.VideoDeviceIndex(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(vcx.Connected(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(Near(previewColour(camera), QColor(0x20, 0xe0, 0x20)), 10000);
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
    QImage photo(camera.PhotoPath());
    QVERIFY(Near(photo.pixelColor(320, 240), QColor(0x20, 0xe0, 0x20)));
}

void tst_RealCamera::cameraThatCannotStart() {
    QVERIFY(VirtualCameras::set({QStringLiteral("name=Busy Camera;fail=1")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QElapsedTimer sinceShown;
    sinceShown.start();
    camera.show();
    // The camera says it is busy: the officer is told at once, not after the
    // time a camera has to start (5 s).
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.warnings, QStringList{kNotConnected}, 4000);
    qInfo("busy camera told after %lld ms", static_cast<long long>(sinceShown.elapsed()));
    QVERIFY(!vcx.Connected());
    QVERIFY(Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QVERIFY2(LogText().contains(QStringLiteral("-----MAIN: 连接设备失败,原因:the camera \"Busy "
                                               "Camera\" could not be started: Device is busy.")),
             qPrintable(LogText()));
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(!camera.PhotoTaken());
    QVERIFY(camera.isVisible());
    QVERIFY(!QFile::exists(camera.PhotoPath()));
}

void tst_RealCamera::cameraSlowToDeliverItsFirstPicture() {
    // A document camera that warms up for six seconds after it starts streaming.
    QVERIFY(VirtualCameras::set({QStringLiteral("name=Slow Camera;delay=6000;colour=20a040")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    camera.show();
    QVERIFY(QTest::qWaitForWindowExposed(&camera));
    // Meanwhile the area says that the camera is opening.
    auto* view = qobject_cast<CameraView*>(vcx.previewWidget());
    QVERIFY(view != nullptr);
    QCOMPARE(view->state(), CameraView::State::Waiting);
    SaveScreenshot(&camera, QStringLiteral("camera-waiting"));
    QTRY_VERIFY2_WITH_TIMEOUT(vcx.Connected(), qPrintable(LogText()), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(Near(previewColour(camera), QColor(0x20, 0xa0, 0x40), 6), 10000);
    QCOMPARE(view->state(), CameraView::State::Live);
    QVERIFY(m_dialogs.warnings.isEmpty());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_RealCamera::cameraThatStopsDelivering() {
    QVERIFY(VirtualCameras::set({QStringLiteral("name=Tired Camera;stop-after=15;colour=c08020")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(camera, vcx));
    // Frozen for a while, the camera counts as lost: the officer is told, the
    // picture is marked as no longer live and no stale photo can be taken.
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.warnings, QStringList{kNotConnected}, 10000);
    QVERIFY(!vcx.Connected());
    QVERIFY(LogText().contains(QStringLiteral(
        "-----MAIN: 连接设备失败,原因:the camera \"Tired Camera\" stopped delivering pictures")));
    auto* view = qobject_cast<CameraView*>(vcx.previewWidget());
    QCOMPARE(view->state(), CameraView::State::Stopped);
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    // The last picture shows dimmed under the note, not as if it were live.
    QTRY_VERIFY(!Near(previewColour(camera), QColor(0xc0, 0x80, 0x20), 40));
    SaveScreenshot(&camera, QStringLiteral("camera-stopped"));
    QVERIFY(!QFile::exists(camera.PhotoPath()));
    // Choosing it again tries once more; with pictures, 拍  照 works again.
    choose(camera, 0);
    QTRY_VERIFY_WITH_TIMEOUT(vcx.Connected(), 20000);
    QVERIFY(Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_RealCamera::cameraUnpluggedWhileInUse() {
    QVERIFY(VirtualCameras::set(
        {QStringLiteral("id=a;name=Loose Camera"), QStringLiteral("id=b;name=Other Camera")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(camera, vcx));
    QVERIFY(VirtualCameras::change({QStringLiteral("id=b;name=Other Camera")}));
    // Told within a few seconds, and gone from the list.
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.warnings, QStringList{kNotConnected}, 5000);
    QVERIFY(!vcx.Connected());
    QVERIFY2(LogText().contains(QStringLiteral("-----MAIN: 连接设备失败,原因:the camera \"Loose "
                                               "Camera\"")) &&
                 LogText().contains(QStringLiteral("unplugged")),
             qPrintable(LogText()));
    QTRY_COMPARE_WITH_TIMEOUT(entries(camera), QStringList{QStringLiteral("Other Camera")}, 5000);
    QVERIFY(!Named<QPushButton>(camera, "Btn_Save")->isEnabled());
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(!camera.PhotoTaken());
    QVERIFY(!QFile::exists(camera.PhotoPath()));
    // The officer goes on with the other camera.
    choose(camera, 0);
    QTRY_VERIFY_WITH_TIMEOUT(vcx.Connected(), 20000);
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QVERIFY(camera.PhotoTaken());
}

void tst_RealCamera::cameraPluggedInWhileTheWindowIsOpen() {
    QVERIFY(VirtualCameras::set({QStringLiteral("id=a;name=First Camera")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(camera, vcx));
    QVERIFY(VirtualCameras::change(
        {QStringLiteral("id=a;name=First Camera"), QStringLiteral("id=b;name=Late Camera")}));
    // The open window offers it at once; the camera in use goes on.
    QTRY_COMPARE_WITH_TIMEOUT(
        entries(camera),
        (QStringList{QStringLiteral("First Camera"), QStringLiteral("Late Camera")}), 5000);
    QCOMPARE(Named<QComboBox>(camera, "Cb_Device")->currentIndex(), 0);
    QVERIFY(vcx.Connected());
    choose(camera, 1);
    QCOMPARE(vcx.VideoDeviceIndex(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(vcx.Connected(), 20000);
}

void tst_RealCamera::nameCutInsideACharacter() {
    // The driver cut "高拍仪高" inside its last character (two of its three bytes).
    QVERIFY(
        VirtualCameras::set({QStringLiteral("name=高拍仪\\351\\253")}, {QStringLiteral("高拍仪")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QCOMPARE(entries(camera), QStringList{QStringLiteral("高拍仪")});
}

void tst_RealCamera::noReaderSeesAHalfWrittenPhoto() {
    QVERIFY(VirtualCameras::set(
        {QStringLiteral("name=Busy Street;format=mjpeg;size=1920x1080;fps=15;pattern=snow")}));
    GstVcx vcx;
    TFrm_Camera camera(vcx, m_dialogs, appPath());
    QVERIFY(showConnected(camera, vcx));
    const std::string path = camera.PhotoPath().toStdString();
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            std::ifstream file(path, std::ios::binary);
            if (!file) {
                continue;
            }
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            ++reads;
            const bool whole = bytes.size() > 4 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                               static_cast<unsigned char>(bytes[1]) == 0xD8 &&
                               static_cast<unsigned char>(bytes[bytes.size() - 2]) == 0xFF &&
                               static_cast<unsigned char>(bytes.back()) == 0xD9;
            if (!whole) {
                ++torn;
            }
        }
    });
    for (int i = 0; i < 12; ++i) {
        QVERIFY(vcx.WriteFrameJpeg(camera.PhotoPath(), TFrm_Camera::kPhotoJpegQuality));
        QTest::qWait(30);
    }
    stop = true;
    reader.join();
    QVERIFY(reads > 0);
    QCOMPARE(torn.load(), 0);
    QVERIFY(QFileInfo(camera.PhotoPath()).size() > 500 * 1024); // a photo of a real size
}

void tst_RealCamera::photoThatCannotBeWrittenEndsTheWindowWithTheReason() {
    QVERIFY(VirtualCameras::set(
        {QStringLiteral("name=USB 2.0 Camera;format=yuyv;size=640x480;fps=15;pattern=smpte")}));
    GstVcx vcx;
    // A photo folder that is not there, as when the private folder could not be made.
    const std::string folder = appPath() + "gone/";
    TFrm_Camera camera(vcx, m_dialogs, folder);
    QVERIFY(showConnected(camera, vcx));
    QTest::mouseClick(Named<QPushButton>(camera, "Btn_Save"), Qt::LeftButton);
    QCOMPARE(m_dialogs.errors.size(), 1);
    const QString report = m_dialogs.errors.first();
    QVERIFY2(report.contains(QString::fromStdString(folder) + QStringLiteral("USB_Temp.jpg")) &&
                 report.contains(QStringLiteral("No such file or directory")),
             qPrintable(report));
    QVERIFY(!camera.isVisible());
    QVERIFY(!camera.PhotoTaken());
}

int main(int argc, char** argv) {
    VirtualCameras::prepare();
    QApplication app(argc, argv);
    tst_RealCamera test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realcamera.moc"
