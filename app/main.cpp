// Tavlin's entry: the guards, then the main window.
#include "Main.h"
#include "CheckOutInfo.h"
#include "IniIdentitySource.h"
#include "MessageBoxDialogs.h"
#include "QtVcx.h"
#include "RaiseServer.h"
#include "ShellConfig.h"
#include "Skin.h"
#include "SysOper.h"
#include "WebEngineBrowser.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>

#include <QTranslator>
#include <memory>

namespace {

// Qt's own texts (the OK, Yes and No of the message boxes) in Chinese, as the
// program's own texts are; a missing translation leaves them in English.
void LoadQtTranslation(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlin"));
    LoadQtTranslation(app);
    MessageBoxDialogs dialogs;

    std::unique_ptr<RaiseServer> raise;
    {
        TCheckOutInfo guards(dialogs);
        if (guards.IsAlreadyRunning()) {
            return 0;
        }
        // Later copies are answered from here on, while this one still starts.
        raise = std::make_unique<RaiseServer>();
        if (guards.CheckHotelProgram()) {
            return 0;
        }
    }

    Skin::Apply(app);
    WebEngineBrowser browser;
    const std::string appPath = TSysOper::GetAppPath();
    IniIdentitySource identity(appPath);
    TFrm_Tavlin window(browser, identity, dialogs, appPath);
    if (window.terminationRequested()) {
        return 0;
    }
    // The photo's camera control: the one over Qt Multimedia.
    window.setCameraFactory([](QWidget* parent) { return std::make_unique<QtVcx>(parent); });
    WindowPlacement::ShowMaximised(window);
    raise->setRaise([&window] { window.showRunningCopy(); });
    app.exec();
    return 0;
}
