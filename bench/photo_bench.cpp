// The photo's road into the page: from the capture call's return until the
// page's field holds the photo's text, for photos of 0.5, 2 and 8 MB, against
// a reference that only sets the field to a text of the same length with one
// script. Both run in the real browser against the sample back end's photo
// page, offscreen; each figure is the median of several runs.
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
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

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
        {
            std::string bytes(size, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            std::ofstream(photo.toStdString(), std::ios::binary) << bytes;
        }
        const qsizetype textLength =
            static_cast<qsizetype>(TImgOper::ImageToBase64(photo.toStdString()).size());

        std::vector<double> tavlin;
        std::vector<double> reference;
        for (int run = 0; run < runs; ++run) {
            // A fresh photo page for each pair of runs.
            QSignalSpy done(&browser, &Browser::documentComplete);
            browser.navigate(QUrl(base + QStringLiteral("/photo")));
            while (done.isEmpty()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            }
            shell.evaluate(QStringLiteral("1"));

            QElapsedTimer timer;
            timer.start();
            window.ImportPhoto(photo);
            const qsizetype got = shell.evaluate(kFieldLength).toLongLong();
            tavlin.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (got != textLength) {
                std::fprintf(stderr, "photo_bench: the field holds %lld characters, not %lld\n",
                             static_cast<long long>(got), static_cast<long long>(textLength));
                return 1;
            }

            // The reference: one script that sets the field to a text of that length.
            shell.evaluate(
                QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value = ''; 1"));
            const QString same(textLength, QLatin1Char('A'));
            timer.restart();
            const QByteArray json = QJsonDocument(QJsonArray{same}).toJson(QJsonDocument::Compact);
            browser.page()->runJavaScript(
                QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value = %1[0]; 1")
                    .arg(QString::fromUtf8(json)),
                QWebEngineScript::ApplicationWorld);
            const qsizetype refGot = shell.evaluate(kFieldLength).toLongLong();
            reference.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (refGot != textLength) {
                std::fprintf(stderr, "photo_bench: the reference field is wrong\n");
                return 1;
            }
        }
        const double t = Median(tavlin);
        const double r = Median(reference);
        std::printf(
            "  %.1f MB: Tavlin %.1f ms, reference %.1f ms: ratio %.2f x (bound 1.2 x: %s)\n",
            megabytes, t, r, t / r, t / r <= 1.2 ? "met" : "NOT MET");
        std::fflush(stdout);
    }
    return 0;
}
