// Tavlin's entry: the guards, then the main window.
#include "Main.h"
#include "CheckOutInfo.h"
#include "Dialogs.h"
#include "ShellConfig.h"
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

// The windows ask for 宋体 (SimSun); Linux desktops rarely have it, so the
// nearest CJK fonts follow.
void ApplyFontAndSkin(QApplication& app) {
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    app.setFont(font);
    QFile skin(QStringLiteral(":/skin/skin.qss"));
    if (skin.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
}

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

    ApplyFontAndSkin(app);
    WebEngineBrowser browser;
    const std::string appPath = TSysOper::GetAppPath();
    IniIdentitySource identity(appPath);
    TFrm_Tavlin window(browser, identity, dialogs, appPath);
    if (window.terminationRequested()) {
        return 0;
    }
    WindowPlacement::ShowMaximised(window);
    raise->setRaise([&window] { window.showRunningCopy(); });
    app.exec();
    return 0;
}
