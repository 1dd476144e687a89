// The reference for Tavlin's start-up benchmark: a bare QWebEngineView that
// loads the URL given as its argument, with nothing of Tavlin around it.
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QWebEngineView view;
    view.resize(1024, 700);
    view.show();
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    return app.exec();
}
