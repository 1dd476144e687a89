// The Photo button end to end: the camera window with a scripted control that
// writes a real JPEG, the real browser, and the sample back end's photo pages.
#include "Camera.h"
#include "CameraModuleLoader.h"
#include "CodePage.h"
#include "Dialogs.h"
#include "FakeVcx.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "LiveShell.h"
#include "Main.h"
#include "Named.h"
#include "SampleSite.h"
#include "VirtualCameras.h"
#include "WebEngineBrowser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

class tst_Photo : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void photoReachesTheFieldThePictureAndTheServer();
    void photoFromARealCameraReachesThePageAndTheServer();
    void secondPhotoReplacesTheFirst();
    void exitImportsNothing();
    void pageWithoutTheField();
    void pageWithoutTheImage();
    void textAreaReceivesNothingAndOneLogLine();
    void imageIdOnADivReceivesNothing();

private:
    void open(const QString& path);
    // Takes a photo through the Photo button: the camera window opens modally,
    // "拍  照" (or "退  出") is pressed in it.
    void takePhoto(QColor colour, bool capture = true);
    QVariant evaluate(const QString& script);
    QString fieldValue();
    // Submits the page's form and returns the photo the back end stored from it.
    QByteArray submitAndReadStored();

    SampleSite m_site;
    QString m_base;
    QTemporaryDir m_store;
    FakeDialogs m_dialogs;
    std::unique_ptr<LiveShell> m_shell;
};

void tst_Photo::initTestCase() {
    QVERIFY(m_site.start({QStringLiteral("--store"), m_store.path()}));
    m_base = m_site.base();
}

void tst_Photo::init() {
    ClearLog();
    m_shell = std::make_unique<LiveShell>(m_base, m_dialogs);
    QVERIFY(m_shell->started);
}

void tst_Photo::cleanup() {
    m_shell.reset();
}

void tst_Photo::open(const QString& path) {
    QVERIFY(m_shell->open(path));
}

QVariant tst_Photo::evaluate(const QString& script) {
    return m_shell->evaluate(script, 10000);
}

QString tst_Photo::fieldValue() {
    return evaluate(
               QStringLiteral("(function(){var e=document.getElementById('Txt_InspectPhotoStr');"
                              "return e ? String(e.value) : null;})()"))
        .toString();
}

QByteArray tst_Photo::submitAndReadStored() {
    const QDir store(m_store.path());
    const qsizetype before = store.entryList(QDir::Files).size();
    const QString next = store.filePath(QStringLiteral("photo-%1.jpg").arg(before + 1));
    evaluate(QStringLiteral("document.getElementById('Btn_Submit').click(); true"));
    // The back end writes the file before it answers with the page that says so.
    const bool answered = LiveShell::WaitFor(
        [this] {
            return evaluate(QStringLiteral("document.title"))
                .toString()
                .startsWith(QStringLiteral("检查信息已保存"));
        },
        20000);
    return answered ? ReadFileBytes(next) : QByteArray();
}

void tst_Photo::takePhoto(QColor colour, bool capture) {
    FakeVcx* made = nullptr;
    m_shell->window->setCameraFactory([&made, colour] {
        auto vcx = std::make_unique<FakeVcx>();
        vcx->devices = {QStringLiteral("Scripted camera")};
        vcx->frameColour = colour;
        made = vcx.get();
        return vcx;
    });
    // The officer presses once the camera window is up and ready. Any other
    // window (a message box), or none within 30 s, is closed, so that the
    // test fails instead of waiting behind it.
    bool pressed = false;
    QElapsedTimer waited;
    waited.start();
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* camera = qobject_cast<TFrm_Camera*>(modal);
        QPushButton* button = camera == nullptr ? nullptr
                              : capture         ? Named<QPushButton>(*camera, "Btn_Save")
                                                : Named<QPushButton>(*camera, "Btn_Exit");
        if (button != nullptr && camera->isVisible() && button->isEnabled()) {
            officer.stop();
            pressed = true;
            button->click();
        } else if ((modal != nullptr && camera == nullptr) || waited.elapsed() > 30000) {
            officer.stop();
            if (modal != nullptr) {
                modal->close();
            }
        }
    });
    officer.start(20);
    emit Named<ImageButton>(*m_shell->window, "Img_Photo")->clicked();
    officer.stop();
    QVERIFY(pressed);
    QVERIFY(made != nullptr);
}

void tst_Photo::photoReachesTheFieldThePictureAndTheServer() {
    open(QStringLiteral("/photo"));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    takePhoto(Qt::darkCyan);
    const QString photo = m_shell->dir.path() + QStringLiteral("/USB_Temp.jpg");
    QVERIFY(QFile::exists(photo));
    const QString expected = QString::fromLatin1(TImgOper::ImageToBase64(photo.toStdString()));
    QTRY_COMPARE_WITH_TIMEOUT(fieldValue(), expected, 10000);
    // The page shows the picture: it loaded through the program's scheme.
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').naturalWidth"))
            .toInt(),
        64, 10000);
    QVERIFY(evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src"))
                .toString()
                .startsWith(QStringLiteral("tavlin-photo://photo/")));
    SaveScreenshot(m_shell->window.get(), QStringLiteral("photo-in-page"));
    // Submitted, the server holds exactly the file's bytes.
    QCOMPARE(submitAndReadStored(), ReadFileBytes(photo));
    QCOMPARE(LogText(), QString());
}

void tst_Photo::photoFromARealCameraReachesThePageAndTheServer() {
    // A 1920 x 1080 camera whose pictures are as large as a real camera's.
    QVERIFY(VirtualCameras::set(
        {QStringLiteral("name=USB 2.0 Camera;format=mjpeg;size=1920x1080;fps=15;pattern=snow")}));
    open(QStringLiteral("/photo"));
    // The control from the camera module, as Tavlin loads it.
    CameraModuleLoader module(QStringLiteral(TAVLIN_BIN_DIR "/") +
                              QLatin1String(CameraModuleLoader::kFileName));
    Vcx* made = nullptr;
    m_shell->window->setCameraFactory([&made, &module] {
        auto vcx = module.create();
        made = vcx.get();
        return vcx;
    });
    // The officer presses 拍  照 once the picture is live.
    bool pressed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* camera = qobject_cast<TFrm_Camera*>(QApplication::activeModalWidget());
        if (camera != nullptr && made != nullptr && made->Connected() && !pressed) {
            pressed = true;
            Named<QPushButton>(*camera, "Btn_Save")->click();
        }
    });
    poll.start(50);
    const CameraWindowLimit giveUp;
    emit Named<ImageButton>(*m_shell->window, "Img_Photo")->clicked();
    poll.stop();
    QVERIFY(pressed);

    const QString photo = m_shell->dir.path() + QStringLiteral("/USB_Temp.jpg");
    const QByteArray bytes = ReadFileBytes(photo);
    QVERIFY2(bytes.size() > 500 * 1024, qPrintable(QString::number(bytes.size())));
    const QString expected = QString::fromLatin1(TImgOper::ImageToBase64(photo.toStdString()));
    QTRY_COMPARE_WITH_TIMEOUT(fieldValue().size(), expected.size(), 10000);
    QCOMPARE(fieldValue(), expected);
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').naturalWidth"))
            .toInt(),
        1920, 10000);
    SaveScreenshot(m_shell->window.get(), QStringLiteral("photo-from-camera"));
    QCOMPARE(submitAndReadStored(), bytes);
    QCOMPARE(LogText(), QString());
}

void tst_Photo::secondPhotoReplacesTheFirst() {
    open(QStringLiteral("/photo"));
    takePhoto(Qt::darkCyan);
    const QString photo = m_shell->dir.path() + QStringLiteral("/USB_Temp.jpg");
    const QString first = QString::fromLatin1(TImgOper::ImageToBase64(photo.toStdString()));
    QTRY_COMPARE_WITH_TIMEOUT(fieldValue(), first, 10000);
    const QString firstSrc =
        evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src")).toString();

    takePhoto(Qt::darkRed);
    const QString second = QString::fromLatin1(TImgOper::ImageToBase64(photo.toStdString()));
    QVERIFY(second != first);
    QTRY_COMPARE_WITH_TIMEOUT(fieldValue(), second, 10000);
    const QString secondSrc =
        evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src")).toString();
    QVERIFY(secondSrc != firstSrc); // a new address: never the first picture from the cache
    // The page shows the second picture: its middle pixel is red, not cyan.
    const QString pixel = QStringLiteral(
        "(function(){var i=document.getElementById('Img_InspectPhoto');"
        "if(!i.complete||!i.naturalWidth)return '';var c=document.createElement('canvas');"
        "c.width=i.naturalWidth;c.height=i.naturalHeight;var x=c.getContext('2d');"
        "x.drawImage(i,0,0);var d=x.getImageData(32,24,1,1).data;return d[0]+','+d[2];})()");
    QTRY_VERIFY_WITH_TIMEOUT(!evaluate(pixel).toString().isEmpty(), 10000);
    const QStringList rgb = evaluate(pixel).toString().split(QLatin1Char(','));
    QVERIFY2(rgb.value(0).toInt() > rgb.value(1).toInt(), qPrintable(evaluate(pixel).toString()));
}

void tst_Photo::exitImportsNothing() {
    open(QStringLiteral("/photo"));
    takePhoto(Qt::darkCyan, false);
    QCOMPARE(fieldValue(), QString());
    QCOMPARE(evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src")).toString(),
             QString());
}

void tst_Photo::pageWithoutTheField() {
    open(QStringLiteral("/photo-notext"));
    takePhoto(Qt::darkCyan);
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').naturalWidth"))
            .toInt(),
        64, 10000);
    QCOMPARE(LogText(), QString());
}

void tst_Photo::pageWithoutTheImage() {
    open(QStringLiteral("/photo-noimage"));
    takePhoto(Qt::darkCyan);
    const QString photo = m_shell->dir.path() + QStringLiteral("/USB_Temp.jpg");
    QTRY_COMPARE_WITH_TIMEOUT(
        fieldValue(), QString::fromLatin1(TImgOper::ImageToBase64(photo.toStdString())), 10000);
    QCOMPARE(LogText(), QString());
}

void tst_Photo::textAreaReceivesNothingAndOneLogLine() {
    open(QStringLiteral("/photo-textarea"));
    takePhoto(Qt::darkCyan);
    QTRY_VERIFY_WITH_TIMEOUT(!LogText().isEmpty(), 10000);
    QCOMPARE(LogText().count(QLatin1Char('\n')), 1);
    QVERIFY(LogText().contains(QStringLiteral(
        "-----MAIN: 导入照片时失败,错误:Txt_InspectPhotoStr is not an input element")));
    QCOMPARE(fieldValue(), QString());
    QCOMPARE(evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src")).toString(),
             QString());
}

void tst_Photo::imageIdOnADivReceivesNothing() {
    open(QStringLiteral("/photo-divimage"));
    takePhoto(Qt::darkCyan);
    QTRY_VERIFY_WITH_TIMEOUT(!LogText().isEmpty(), 10000);
    QVERIFY(LogText().contains(
        QStringLiteral("-----MAIN: 导入照片时失败,错误:Img_InspectPhoto is not an image element")));
    QCOMPARE(fieldValue(), QString());
}

int main(int argc, char** argv) {
    VirtualCameras::prepare();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    WebEngineBrowser::chooseComposition(); // as the program does
    tst_Photo test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_photo.moc"
