// The photo with a camera, measured with the tests' virtual cameras on an X
// display (run it under tests/run-under-xvfb.sh):
//
//   preview  from opening the camera window to its first live picture in the
//            preview, against a bare window that shows the same camera with
//            QCamera and QVideoWidget; alternating runs, medians
//   photo    from 拍  照 to the photo in the page's field and image, for 640x480
//            and 1920x1080 frames, with its parts: frame -> JPEG file,
//            file -> Base64 text, text -> page
//   jpeg     the frame's JPEG encoding at quality 90 against libjpeg-turbo's own
//            (TurboJPEG, 4:2:0 as libjpeg's defaults) on the same frame
//   memory   the process's resident memory over 50 photos taken and imported
//
// Each ratio is printed with its bound.
#include "Camera.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "LiveShell.h"
#include "Main.h"
#include "Named.h"
#include "GstVcx.h"
#include "SampleSite.h"
#include "VirtualCameras.h"
#include "WebEngineBrowser.h"

#include <QApplication>
#include <QCamera>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPushButton>
#include <QTimer>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

template <typename Condition> bool Await(Condition condition, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// The camera's picture (pure red) is on the screen in the middle of the preview.
bool PreviewHasPicture(QWidget* view) {
    if (!view->isVisible() || view->screen() == nullptr) {
        return false;
    }
    const QPoint middle =
        view->mapTo(view->window(), QPoint(view->width() / 2, view->height() / 2));
    const QColor seen = view->screen()
                            ->grabWindow(view->window()->winId(), middle.x(), middle.y(), 1, 1)
                            .toImage()
                            .pixelColor(0, 0);
    return seen.red() > 200 && seen.green() < 60 && seen.blue() < 60;
}

// Opening the camera window until its preview holds a live picture.
double TavlinFirstPicture(FakeDialogs& dialogs, const std::string& appPath) {
    QElapsedTimer timer;
    timer.start();
    GstVcx vcx;
    TFrm_Camera camera(vcx, dialogs, appPath);
    camera.show();
    if (!Await([&] { return PreviewHasPicture(vcx.previewWidget()); })) {
        return -1;
    }
    return Ms(timer);
}

// The same with nothing but Qt: a window with a QVideoWidget fed by QCamera.
// Qt 6.4's GStreamer back end delivers nothing to a QVideoWidget attached with
// setVideoOutput on an OpenGL display (its sink asks for GL memory that Mesa's
// software GL does not give), so the bare program hands the camera's frames to
// the widget through a plain sink, the least a program must do to show them.
double BareFirstPicture() {
    QElapsedTimer timer;
    timer.start();
    QWidget window;
    window.resize(665, 530);
    auto* view = new QVideoWidget(&window);
    view->setGeometry(13, 40, 640, 480);
    QMediaCaptureSession session;
    QCamera camera(QMediaDevices::videoInputs().value(0));
    QVideoSink sink;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, view,
                     [view](const QVideoFrame& frame) { view->videoSink()->setVideoFrame(frame); });
    session.setCamera(&camera);
    session.setVideoSink(&sink);
    window.show();
    camera.start();
    if (!Await([&] { return PreviewHasPicture(view); })) {
        return -1;
    }
    return Ms(timer);
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// libjpeg-turbo's own encoding of an image at quality 90 into a file.
double TurboJpegMs(const QImage& image, const QString& path) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QElapsedTimer timer;
    timer.start();
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.constBits(), rgb.width(), static_cast<int>(rgb.bytesPerLine()),
                rgb.height(), TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(reinterpret_cast<const char*>(jpeg), static_cast<qint64>(size));
    }
    file.close();
    tjFree(jpeg);
    tjDestroy(handle);
    return Ms(timer);
}

} // namespace

int main(int argc, char** argv) {
    VirtualCameras::prepare();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 9;
    FakeDialogs dialogs;

    // --- preview ---
    if (!VirtualCameras::set(
            {QStringLiteral("name=USB Camera;format=mjpeg;size=640x480;colour=ff0000")})) {
        std::fprintf(stderr, "camera_bench: the virtual camera was not listed\n");
        return 1;
    }
    QTemporaryDir folder;
    const std::string appPath = folder.path().toStdString() + "/";
    TavlinFirstPicture(dialogs, appPath); // warm both roads up once
    BareFirstPicture();
    std::vector<double> tavlin;
    std::vector<double> bare;
    for (int run = 0; run < runs; ++run) {
        tavlin.push_back(TavlinFirstPicture(dialogs, appPath));
        bare.push_back(BareFirstPicture());
    }
    if (*std::min_element(tavlin.begin(), tavlin.end()) < 0 ||
        *std::min_element(bare.begin(), bare.end()) < 0) {
        std::fprintf(stderr, "camera_bench: a preview never showed a picture (%s)\n",
                     *std::min_element(tavlin.begin(), tavlin.end()) < 0 ? "Tavlin" : "bare");
        return 1;
    }
    const double previewRatio = Median(tavlin) / Median(bare);
    std::printf("camera window to first live picture, median of %d: Tavlin %.1f ms, bare QCamera + "
                "QVideoWidget %.1f ms: ratio %.2f x (bound 1.10 x: %s)\n",
                runs, Median(tavlin), Median(bare), previewRatio,
                previewRatio <= 1.10 ? "met" : "NOT MET");
    std::fflush(stdout);

    // --- photo into the page ---
    SampleSite site;
    if (!site.start()) {
        std::fprintf(stderr, "camera_bench: the sample back end did not start\n");
        return 1;
    }
    LiveShell shell(site.base(), dialogs);
    if (!shell.started || !shell.open(QStringLiteral("/photo"))) {
        std::fprintf(stderr, "camera_bench: the sample photo page did not come\n");
        return 1;
    }
    const QString photo = shell.dir.path() + QStringLiteral("/USB_Temp.jpg");
    const QString reference = shell.dir.path() + QStringLiteral("/reference.jpg");
    for (const QSize size : {QSize(640, 480), QSize(1920, 1080)}) {
        if (!VirtualCameras::set({QStringLiteral("name=USB Camera;format=mjpeg;size=%1x%2;fps=15;"
                                                 "pattern=snow")
                                      .arg(size.width())
                                      .arg(size.height())})) {
            return 1;
        }
        GstVcx vcx;
        QString failure;
        QObject::connect(&vcx, &Vcx::errorOccurred, &vcx,
                         [&failure](const QString& description) { failure = description; });
        TFrm_Camera camera(vcx, dialogs, appPath);
        camera.show();
        if (!Await([&] { return vcx.Connected(); })) {
            std::fprintf(stderr, "camera_bench: the camera did not start: %s\n",
                         qPrintable(failure));
            return 1;
        }
        std::vector<double> total;
        std::vector<double> toFile;
        std::vector<double> toText;
        std::vector<double> toPage;
        std::vector<double> turbo;
        std::vector<double> encodeOnly;
        qint64 bytes = 0;
        for (int run = 0; run < runs; ++run) {
            shell.evaluate(QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value='';"
                                          "document.getElementById('Img_InspectPhoto').src='';1"));
            QElapsedTimer timer;
            timer.start();
            vcx.WriteFrameJpeg(photo, TFrm_Camera::kPhotoJpegQuality);
            const double file = Ms(timer);
            QElapsedTimer part;
            part.start();
            const std::string text = TImgOper::ImageToBase64(photo.toStdString());
            toText.push_back(Ms(part));
            part.restart();
            shell.window->ImportPhoto(photo);
            const QString filled =
                QStringLiteral("(function(){var t=document.getElementById('Txt_InspectPhotoStr'),"
                               "i=document.getElementById('Img_InspectPhoto');"
                               "return t.value.length===%1&&i.complete&&i.naturalWidth===%2;})()")
                    .arg(text.size())
                    .arg(size.width());
            if (!Await([&] { return shell.evaluate(filled).toBool(); })) {
                std::fprintf(stderr, "camera_bench: the photo did not reach the page (%s)\n",
                             qPrintable(shell
                                            .evaluate(QStringLiteral(
                                                "document.getElementById('Txt_InspectPhotoStr')"
                                                ".value.length+' '+document.getElementById("
                                                "'Img_InspectPhoto').naturalWidth+' '+"
                                                "document.title"))
                                            .toString()));
                return 1;
            }
            toPage.push_back(Ms(part));
            // Without the extra Base64 pass this loop made for its parts.
            total.push_back(Ms(timer) - toText.back());
            toFile.push_back(file);
            bytes = QFileInfo(photo).size();

            // The same picture encoded by libjpeg-turbo, and by QImage's JPEG
            // writer for comparison, from the decoded picture.
            const QImage picture(photo);
            turbo.push_back(TurboJpegMs(picture, reference));
            part.restart();
            picture.save(reference, "JPEG", TFrm_Camera::kPhotoJpegQuality);
            encodeOnly.push_back(Ms(part));
        }
        std::printf("photo %dx%d (JPEG %.2f MB), median of %d: 拍  照 to field and image %.1f ms = "
                    "frame -> JPEG file %.1f ms + file -> Base64 %.1f ms + Base64 -> page %.1f "
                    "ms\n",
                    size.width(), size.height(), static_cast<double>(bytes) / (1024.0 * 1024.0),
                    runs, Median(total), Median(toFile), Median(toText),
                    Median(toPage) - Median(toText));
        const double jpegRatio = Median(toFile) / Median(turbo);
        std::printf("  JPEG q90: frame -> file %.1f ms, libjpeg-turbo %.1f ms: ratio %.2f x "
                    "(bound 1.20 x: %s); QImage's writer %.1f ms\n",
                    Median(toFile), Median(turbo), jpegRatio, jpegRatio <= 1.2 ? "met" : "NOT MET",
                    Median(encodeOnly));
        std::fflush(stdout);
    }

    // --- memory over 50 photos ---
    if (!VirtualCameras::set({QStringLiteral("name=USB Camera;format=mjpeg;size=1920x1080;fps=15;"
                                             "pattern=snow")})) {
        return 1;
    }
    // The officer's road: the Photo button, 拍  照 once the picture is live,
    // the photo into the page.
    GstVcx* made = nullptr;
    shell.window->setCameraFactory([&made] {
        auto vcx = std::make_unique<GstVcx>();
        made = vcx.get();
        return vcx;
    });
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, &press, [&made] {
        auto* camera = qobject_cast<TFrm_Camera*>(QApplication::activeModalWidget());
        if (camera != nullptr && made != nullptr && made->Connected()) {
            Named<QPushButton>(*camera, "Btn_Save")->click();
        }
    });
    press.start(20);
    const auto onePhoto = [&] {
        made = nullptr;
        shell.evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src='';1"));
        emit Named<ImageButton>(*shell.window, "Img_Photo")->clicked();
        return Await([&] {
            return shell
                       .evaluate(QStringLiteral(
                           "document.getElementById('Img_InspectPhoto').naturalWidth"))
                       .toInt() == 1920;
        });
    };
    for (int i = 0; i < 5; ++i) {
        onePhoto(); // caches and pools settle first
    }
    const long before = ResidentKb();
    for (int i = 0; i < 50; ++i) {
        if (!onePhoto()) {
            std::fprintf(stderr, "camera_bench: photo %d failed\n", i + 1);
            return 1;
        }
    }
    const long after = ResidentKb();
    const double grownMb = static_cast<double>(after - before) / 1024.0;
    std::printf(
        "50 photos of 1920x1080: resident memory %.1f -> %.1f MB, grew %.1f MB (bound 5 MB: "
        "%s)\n",
        static_cast<double>(before) / 1024.0, static_cast<double>(after) / 1024.0, grownMb,
        grownMb < 5.0 ? "met" : "NOT MET");
    return 0;
}
