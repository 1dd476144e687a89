// The reference of Tavlin's benchmarks: a bare QWebEngineView that loads the
// URL given as its argument, with nothing of Tavlin around it.
//   bare_webengine URL [--screen]
// The view is 1024x700; with --screen it takes the screen's available area,
// as Tavlin's maximised window does, so that both draw as many pixels.
#include <QApplication>
#include <QScreen>
#include <QUrl>
#include <QWebEngineView>

#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QWebEngineView view;
    if (argc > 2 && std::strcmp(argv[2], "--screen") == 0 && QApplication::primaryScreen()) {
        view.setGeometry(QApplication::primaryScreen()->availableGeometry());
    } else {
        view.resize(1024, 700);
    }
    view.show();
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    return app.exec();
}
