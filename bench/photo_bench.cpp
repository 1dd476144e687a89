// The photo's road into the page: from the capture call's return until the
// page's field holds the photo's text, for photos of 0.5, 2 and 8 MB, against
// a reference that only sets the field to the text of a photo of the same size
// with one script. Both run in the real browser against the sample back end's
// photo page, offscreen; each figure is the median of several runs.
#include "Dialogs.h"
#include "Fakes.h"
#include "ImgOper.h"
#include "LiveShell.h"
#include "Main.h"
#include "SampleSite.h"
#include "ShellConfig.h"
#include "StrOper.h"
#include "WebEngineBrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

namespace {

const QString kFieldLength =
    QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value.length");

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;

    SampleSite site;
    if (!site.start()) {
        std::fprintf(stderr, "photo_bench: the sample back end did not start\n");
        return 1;
    }
    const QString base = site.base();

    FakeDialogs dialogs;
    LiveShell shell(base, dialogs);
    if (!shell.started) {
        std::fprintf(stderr, "photo_bench: the sample site's login page did not come\n");
        return 1;
    }
    WebEngineBrowser& browser = *shell.browser;
    TFrm_Tavlin& window = *shell.window;

    std::printf("photo into the page's field, median of %d runs each:\n", runs);
    std::mt19937 random(7);
    for (const double megabytes : {0.5, 2.0, 8.0}) {
        const auto size = static_cast<std::size_t>(megabytes * 1024 * 1024);
        const QString photo = shell.dir.path() + QStringLiteral("/USB_Temp.jpg");
        const QString otherPhoto = shell.dir.path() + QStringLiteral("/other.jpg");
        // Every run takes a photo never seen before, as the officer does: the
        // script engine keeps compiled scripts by their text, and a script
        // repeated word for word would be served from that cache.
        const auto writeNewPhoto = [&](const QString& path) {
            std::string bytes(size, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            std::ofstream(path.toStdString(), std::ios::binary) << bytes;
        };
        writeNewPhoto(photo);
        const qsizetype textLength =
            static_cast<qsizetype>(TImgOper::ImageToBase64(photo.toStdString()).size());

        std::vector<double> tavlin;
        std::vector<double> reference;
        std::vector<double> ratios;
        for (int run = 0; run < runs; ++run) {
            // A fresh photo page and two new photos for each pair of runs.
            writeNewPhoto(photo);
            writeNewPhoto(otherPhoto);
            QSignalSpy done(&browser, &Browser::documentComplete);
            browser.navigate(QUrl(base + QStringLiteral("/photo")));
            while (done.isEmpty()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            }
            shell.evaluate(QStringLiteral("1"));

            const auto runTavlin = [&] {
                QElapsedTimer timer;
                timer.start();
                window.ImportPhoto(photo);
                const qsizetype got = shell.evaluate(kFieldLength).toLongLong();
                tavlin.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
                return got == textLength;
            };
            // The reference: one script that sets the field to the text of a
            // photo of the same size.
            const auto runReference = [&] {
                const QString same =
                    QString::fromLatin1(TImgOper::ImageToBase64(otherPhoto.toStdString()));
                QElapsedTimer timer;
                timer.start();
                const QByteArray json =
                    QJsonDocument(QJsonArray{same}).toJson(QJsonDocument::Compact);
                browser.page()->runJavaScript(
                    QStringLiteral(
                        "document.getElementById('Txt_InspectPhotoStr').value = %1[0]; 1")
                        .arg(QString::fromUtf8(json)),
                    QWebEngineScript::ApplicationWorld);
                const qsizetype got = shell.evaluate(kFieldLength).toLongLong();
                reference.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
                return got == textLength;
            };
            const auto clearField = [&] {
                shell.evaluate(
                    QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value = ''; 1"));
            };
            // Whichever runs first on a fresh page may meet the renderer still
            // busy with the last one: the two take turns at going first.
            const bool tavlinFirst = run % 2 == 0;
            bool tavlinOk = true;
            bool referenceOk = true;
            if (tavlinFirst) {
                tavlinOk = runTavlin();
                clearField();
                referenceOk = runReference();
            } else {
                referenceOk = runReference();
                clearField();
                tavlinOk = runTavlin();
            }
            if (!tavlinOk || !referenceOk) {
                std::fprintf(
                    stderr, "photo_bench: the %s field does not hold the photo's %lld characters\n",
                    tavlinOk ? "reference" : "Tavlin", static_cast<long long>(textLength));
                return 1;
            }
            ratios.push_back(tavlin.back() / reference.back());
        }
        // Each run is compared with the reference run right after it, so that
        // a machine that slows down or speeds up moves both alike. A real
        // photo is about 0.5 MB: its bound is the tighter one.
        const double t = Median(tavlin);
        const double r = Median(reference);
        const double ratio = Median(ratios);
        const double bound = megabytes <= 0.5 ? 1.15 : 1.2;
        std::printf("  %.1f MB: Tavlin %.1f ms, reference %.1f ms: median of the paired ratios "
                    "%.2f x (bound %.2f x: %s)\n",
                    megabytes, t, r, ratio, bound, ratio <= bound ? "met" : "NOT MET");
        std::fflush(stdout);
    }
    return 0;
}
