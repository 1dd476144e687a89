// Tavlin's entry: the guards, then the main window.
#include "Main.h"
#include "CameraModuleLoader.h"
#include "CheckOutInfo.h"
#include "CodePage.h"
#include "FileOper.h"
#include "IniIdentitySource.h"
#include "LogTexts.h"
#include "MessageBoxDialogs.h"
#include "QuitOnSignals.h"
#include "RaiseServer.h"
#include "ShellConfig.h"
#include "Skin.h"
#include "StatePlaces.h"
#include "SysOper.h"
#include "SystemTrust.h"
#include "UserPlaces.h"
#include "WebEngineBrowser.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>

#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

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

// Tavlin takes no options but these two, which print and end before anything
// else happens: no window, no lock, no network request. Returns the exit
// status when the command line ends the run.
std::optional<int> HandleCommandLine(int argc, char** argv) {
    if (argc <= 1) {
        return std::nullopt;
    }
    const std::string_view option = argv[1];
    if (argc == 2 && (option == "--help" || option == "-h")) {
        std::printf(
            "Usage: tavlin [--help | --version]\n"
            "Tavlin shows the police inspection web application for the enterprise this PC\n"
            "belongs to, as configured in <program folder>/InspectConfig (see tavlin-config).\n"
            "\n"
            "  --help     print this help and end\n"
            "  --version  print the file version (four numbers) and end\n"
            "\n"
            "Without options Tavlin opens its window. Program folder: %s\n",
            TSysOper::GetAppPath().c_str());
        return 0;
    }
    if (argc == 2 && (option == "--version" || option == "-v")) {
        std::printf("%s\n", TFileOper::GetVersion().c_str());
        return 0;
    }
    const char* unknown = argc == 2 || option.starts_with('-') ? argv[1] : argv[2];
    std::fprintf(stderr, "tavlin: unknown option '%s'\nTry 'tavlin --help'.\n", unknown);
    return 2;
}

// Tavlin is the officer's program. As root the page would run with every
// right on the PC, and Chromium ends with its own words without its sandbox;
// Tavlin says why in its own before any window or request. A machine that
// must run it as root (a test machine, a container) switches Chromium's
// sandbox off explicitly with QTWEBENGINE_DISABLE_SANDBOX=1, and then runs it.
std::optional<int> RefuseRoot() {
    const char* noSandbox = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
    if (::geteuid() != 0 || (noSandbox != nullptr && *noSandbox != '\0')) {
        return std::nullopt;
    }
    std::fputs("tavlin: Tavlin runs as the officer's own user, not as root; start it from the "
               "officer's desktop session, without sudo.\n",
               stderr);
    return 1;
}

// Removes the run's photo (its private folder, or the photo file beside a
// portable copy) when main ends, on every path.
struct PhotoRemoval {
    const StatePlaces::Places& places;
    ~PhotoRemoval() { StatePlaces::RemovePhotos(places); }
};

// Before any thread: the certificate authorities IT put into the system
// store are offered to the browser (registered once per user).
void OfferSystemTrust() {
    if (const std::string problem =
            SystemTrust::Offer(UserPlaces::Home(), SystemTrust::InstalledTrustModule());
        !problem.empty()) {
        std::fprintf(stderr, "tavlin: %s\n", problem.c_str());
        TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kTrustFailed) + problem);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> status = HandleCommandLine(argc, argv)) {
        return *status;
    }
    if (const std::optional<int> status = RefuseRoot()) {
        return *status;
    }
    // Where this run writes, decided once: the program folder for a copy its
    // user may write, the user's own places for an installed copy.
    const std::string appPath = TSysOper::GetAppPath();
    const StatePlaces::Environment environment = StatePlaces::Environment::FromProcess();
    StatePlaces::Places places =
        StatePlaces::Choose(appPath, StatePlaces::IsPortableFolder(appPath), environment);
    TSysOper::SetLogFolder(places.logFolder);
    StatePlaces::MakeLogFolder(places);
    OfferSystemTrust();

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    // Taken before the application object, which takes DESKTOP_STARTUP_ID.
    const QByteArray launchToken = TCheckOutInfo::LaunchToken();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlin"));
    // The desktop entry's id (the main window sets the icon with its pictures).
    QApplication::setDesktopFileName(QStringLiteral("org.tavlin.Tavlin"));
    LoadQtTranslation(app);
    const QuitOnSignals quitOnSignals;
    MessageBoxDialogs dialogs;

    std::unique_ptr<RaiseServer> raise;
    {
        TCheckOutInfo guards(dialogs, launchToken);
        if (guards.IsAlreadyRunning()) {
            return 0;
        }
        // Later copies are answered from here on, while this one still starts.
        raise = std::make_unique<RaiseServer>();
        if (guards.CheckHotelProgram()) {
            return 0;
        }
    }

    // This copy alone runs from here on: its private photo folder is made now
    // and goes when it ends, and so does the photo beside a portable copy.
    if (const std::string problem = StatePlaces::MakePhotoFolder(places, environment);
        !problem.empty()) {
        std::fprintf(stderr, "tavlin: %s\n", problem.c_str());
    }
    const PhotoRemoval removal{places};

    Skin::Apply(app);
    WebEngineBrowser::chooseComposition();
    WebEngineBrowser browser;
    IniIdentitySource identity(appPath);
    TFrm_Tavlin window(browser, identity, dialogs, appPath);
    if (window.terminationRequested()) {
        return 0;
    }
    // The photo's camera control: the one over GStreamer, from the camera
    // module beside the executable, loaded when the first photo is taken; the
    // site's largest photo is read at each window, as IT last set it.
    CameraModuleLoader cameras;
    window.setCameraFactory([&cameras, &appPath] {
        std::unique_ptr<Vcx> vcx = cameras.create();
        const ShellConfig::PhotoSize largest = ShellConfig::Load(appPath).largestPhoto;
        vcx->setLargestPicture(largest.width, largest.height);
        return vcx;
    });
    window.setPhotoFolder(places.photoFolder);
    WindowPlacement::ShowMaximised(window);
    raise->setRaise([&window](const QByteArray& token) { window.showRunningCopy(token); });
    app.exec();
    return 0;
}
