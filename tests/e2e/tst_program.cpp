// The real tavlin executable on an X display with a window manager, in a
// process namespace of its own: the start-up guards and the configuration
// check come before the main window and before any request, and every way the
// start is refused ends with status 0. The message boxes are answered with
// the keyboard, as the officer would.
#include "NamedProcess.h"
#include "SampleSite.h"
#include "XDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include <algorithm>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

// Answers the process's window with this title by a key, as the officer
// would: the window gets the focus and the key is typed. Tries again while the
// process runs on (a key can reach a window that was not yet ready for it).
// Whether the process ended.
bool AnswerAndWaitForEnd(QProcess& process, const QString& title, const QString& key) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const QString id = WaitForWindow(process.processId(), title, 10000);
        if (!id.isEmpty()) {
            XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
            XDoTool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key});
        }
        if (process.waitForFinished(3000)) {
            return true;
        }
    }
    return false;
}

const QString kCaption = QStringLiteral("提示");

// Whether the window manager holds the window maximised.
bool IsMaximised(const QString& window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")});
    xprop.waitForFinished(10000);
    const QByteArray state = xprop.readAllStandardOutput();
    return state.contains("_NET_WM_STATE_MAXIMIZED_VERT") &&
           state.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
}

// A case's screen ("1366x768") as a rectangle when this display has that
// size; empty on a display of another size.
QRect CaseScreen(const QString& screen) {
    if (XDoTool({QStringLiteral("getdisplaygeometry")}) !=
        QString(screen).replace(QLatin1Char('x'), QLatin1Char(' '))) {
        return {};
    }
    return {0, 0, screen.section(QLatin1Char('x'), 0, 0).toInt(),
            screen.section(QLatin1Char('x'), 1, 1).toInt()};
}

// The X window's place on the screen and its size (xwininfo's answer).
QRect WindowGeometry(const QString& window) {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    info.waitForFinished(10000);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Absolute upper-left X: +(-?\\d+).*"
                                          "Absolute upper-left Y: +(-?\\d+).*"
                                          "Width: (\\d+).*Height: (\\d+)"),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(QString::fromLatin1(info.readAllStandardOutput()));
    if (!m.hasMatch()) {
        return {};
    }
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
            m.captured(4).toInt()};
}

// The window's picture on the display as the X server holds it (what the
// officer sees), or a null image when it could not be taken.
QImage WindowPicture(const QString& window, const QString& folder) {
    const QString file = folder + QStringLiteral("/window.png");
    QFile::remove(file);
    QProcess import;
    import.start(QStringLiteral("import"), {QStringLiteral("-window"), window, file});
    // A window gone meanwhile can keep import waiting: it is given ten seconds.
    if (!import.waitForFinished(10000) || import.exitCode() != 0) {
        import.kill();
        import.waitForFinished(1000);
        return {};
    }
    return QImage(file);
}

// How many pixels of the rectangle differ between the two pictures.
int DifferingPixels(const QImage& a, const QImage& b, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class tst_Program : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusedConfigurationEndsWithStatusZero_data();
    void refusedConfigurationEndsWithStatusZero();
    void hotelProgramIsAskedAboutBeforeAnyWindowOrRequest();
    void secondCopyIsTurnedAwayBeforeAnyRequest();
    void terminationEndsTheRunTheNormalWay();
    void startedAsRootItSaysSoAndEnds();
    void windowStartsMaximisedAndADoubleClickActsOnce();
    void withoutAChineseFontTheLogAndStandardErrorSaySo();
    void keyboardReachesTheTitleButtons_data();
    void keyboardReachesTheTitleButtons();
    void pageAndItsTitleButtonsReachTheScreen();
    void windowFitsTheScreenAtAnyScale_data();
    void windowFitsTheScreenAtAnyScale();
    void cameraWindowOpensFromTheKeyboardAndFitsTheScreen_data();
    void cameraWindowOpensFromTheKeyboardAndFitsTheScreen();
    void documentCameraPhotoAndUnpluggedCameraInTheRealProgram();
    void thePhotoReachesOnlyItsDocumentWhenThePageMovesOnItsOwn();

private:
    // A program folder with a copy of tavlin; configured against the sample
    // back end unless configure is false, with the start page at path.
    QString makeFolder(bool configure, const QString& path = QStringLiteral("/inspect"));
    // Starts Tavlin on the photo page with the camera module beside it, and
    // returns its maximised main window (empty when it did not come).
    QString startOnThePhotoPage(const QProcessEnvironment& env, QProcess*& tavlin);
    QProcess* startTavlin(const QString& folder,
                          const QProcessEnvironment& extra = QProcessEnvironment());
    int inspectRequests();

    std::unique_ptr<SampleSite> m_site;
    std::unique_ptr<QTemporaryDir> m_work;
    QList<QProcess*> m_started;
    QList<qint64> m_named;
    int m_inspects = 0;
};

void tst_Program::init() {
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QDir(m_work->path()).mkdir(QStringLiteral("runtime"));
    QDir(m_work->path()).mkdir(QStringLiteral("home"));
    QFile::setPermissions(m_work->filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_site = std::make_unique<SampleSite>();
    QVERIFY(m_site->start());
    m_inspects = 0;
}

void tst_Program::cleanup() {
    for (QProcess* process : m_started) {
        process->kill();
        process->waitForFinished();
        delete process;
    }
    m_started.clear();
    for (const qint64 pid : m_named) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    m_named.clear();
    m_site.reset();
    m_work.reset();
}

QString tst_Program::makeFolder(bool configure, const QString& path) {
    const QString folder = m_work->filePath(QStringLiteral("tavlin-%1").arg(m_started.size()));
    QDir().mkpath(folder);
    QFile::copy(QStringLiteral(TAVLIN_BIN_DIR "/tavlin"), folder + QStringLiteral("/tavlin"));
    if (configure) {
        QProcess config;
        config.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-config"),
                     {QStringLiteral("write"), folder, QStringLiteral("--url"),
                      m_site->base() + path, QStringLiteral("--type-code"), QStringLiteral("R01"),
                      QStringLiteral("--number"), QStringLiteral("4401000001"),
                      QStringLiteral("--serial"), QStringLiteral("SN-1"), QStringLiteral("--name"),
                      QStringLiteral("Test")});
        config.waitForFinished();
    }
    return folder;
}

QProcess* tst_Program::startTavlin(const QString& folder, const QProcessEnvironment& extra) {
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : extra.keys()) {
        env.insert(name, extra.value(name));
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_work->filePath(QStringLiteral("runtime")));
    // A home of the test's own: Tavlin registers the system's certificate
    // store in the user's certificate database there.
    env.insert(QStringLiteral("HOME"), m_work->filePath(QStringLiteral("home")));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(folder);
    process->start(folder + QStringLiteral("/tavlin"));
    m_started.append(process);
    return process;
}

int tst_Program::inspectRequests() {
    for (const QString& target : m_site->takeRequests()) {
        if (target.startsWith(QStringLiteral("/inspect?"))) {
            ++m_inspects;
        }
    }
    return m_inspects;
}

void tst_Program::refusedConfigurationEndsWithStatusZero_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QString>("said");
    QTest::newRow("no configuration file") << false << QStringLiteral("does not exist");
    QTest::newRow("no address in it") << true << QStringLiteral("gives no address");
}

void tst_Program::refusedConfigurationEndsWithStatusZero() {
    QFETCH(bool, fileExists);
    QFETCH(QString, said);
    const QString folder = makeFolder(false);
    if (fileExists) {
        QDir(folder).mkdir(QStringLiteral("InspectConfig"));
        QFile file(folder + QStringLiteral("/InspectConfig/Config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[URL]\r\nURL=\r\n");
    }
    QProcess* tavlin = startTavlin(folder);
    const QString box = WaitForWindow(tavlin->processId(), kCaption);
    QVERIFY2(!box.isEmpty(), "the message box did not come");
    // The message box is all there is: no main window behind it.
    QCOMPARE(ShownWindowTitles(tavlin->processId()), QStringList{kCaption});
    QVERIFY(AnswerAndWaitForEnd(*tavlin, kCaption, QStringLiteral("Return")));
    QCOMPARE(tavlin->exitStatus(), QProcess::NormalExit);
    QCOMPARE(tavlin->exitCode(), 0);
    // Standard error names the file Tavlin looked for.
    const QString error = QString::fromUtf8(tavlin->readAllStandardError());
    QVERIFY2(error.contains(folder + QStringLiteral("/InspectConfig/Config.ini")) &&
                 error.contains(said),
             qPrintable(error));
    QCOMPARE(inspectRequests(), 0);
}

void tst_Program::hotelProgramIsAskedAboutBeforeAnyWindowOrRequest() {
    const qint64 hotel = StartNamed(QStringLiteral("QORM_Hotel_Main.exe"), 120);
    m_named.append(hotel);
    QProcess* tavlin = startTavlin(makeFolder(true));
    const QString box = WaitForWindow(tavlin->processId(), kCaption);
    QVERIFY2(!box.isEmpty(), "the question did not come");
    QCOMPARE(ShownWindowTitles(tavlin->processId()), QStringList{kCaption});
    QCOMPARE(inspectRequests(), 0);
    // Escape answers No: the start ends, the hotel program stays.
    QVERIFY(AnswerAndWaitForEnd(*tavlin, kCaption, QStringLiteral("Escape")));
    QCOMPARE(tavlin->exitCode(), 0);
    QVERIFY(Running(hotel));
    // The process is gone, so nothing can be asked for any more.
    QCOMPARE(inspectRequests(), 0);
}

void tst_Program::secondCopyIsTurnedAwayBeforeAnyRequest() {
    const QString folder = makeFolder(true);
    QProcess* first = startTavlin(folder);
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    QVERIFY(!WaitForWindow(first->processId(), QStringLiteral("Tavlin")).isEmpty());

    QProcess* second = startTavlin(folder);
    const QString box = WaitForWindow(second->processId(), kCaption);
    QVERIFY2(!box.isEmpty(),
             qPrintable(QStringLiteral("the second copy said nothing; it shows %1 and said: %2")
                            .arg(ShownWindowTitles(second->processId()).join(QLatin1Char(',')),
                                 QString::fromUtf8(second->readAllStandardError()))));
    QCOMPARE(ShownWindowTitles(second->processId()), QStringList{kCaption});
    QVERIFY(AnswerAndWaitForEnd(*second, kCaption, QStringLiteral("Return")));
    QCOMPARE(second->exitCode(), 0);
    // Only the first copy ever asked for the start page, and it still runs.
    QCOMPARE(inspectRequests(), 1);
    QCOMPARE(first->state(), QProcess::Running);
}

void tst_Program::terminationEndsTheRunTheNormalWay() {
    const QString folder = makeFolder(true);
    // A photo left beside this portable copy is the officer's: gone at the end.
    const QString photo = folder + QStringLiteral("/USB_Temp.jpg");
    QFile left(photo);
    QVERIFY(left.open(QIODevice::WriteOnly));
    left.write("jpeg");
    left.close();
    QProcess* tavlin = startTavlin(folder);
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    QVERIFY(!window.isEmpty());
    // What the desktop entry and the window manager match: the class, and the icon.
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_CLASS"),
                                          QStringLiteral("_NET_WM_ICON")});
    QVERIFY(xprop.waitForFinished(10000));
    const QString properties = QString::fromLatin1(xprop.readAllStandardOutput());
    QVERIFY2(properties.contains(QStringLiteral("WM_CLASS(STRING) = \"tavlin\", \"Tavlin\"")),
             qPrintable(properties.left(300)));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QProcess icon;
            icon.start(QStringLiteral("xprop"),
                       {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_ICON")});
            icon.waitForFinished(10000);
            return icon.readAllStandardOutput().startsWith("_NET_WM_ICON(CARDINAL) = ");
        }(),
        10000);
    tavlin->terminate(); // SIGTERM, as the session's end sends
    QVERIFY(tavlin->waitForFinished(30000));
    QCOMPARE(tavlin->exitStatus(), QProcess::NormalExit);
    QCOMPARE(tavlin->exitCode(), 0);
    QVERIFY(!QFile::exists(photo));
    // This display has Chinese fonts: nothing said about them.
    QVERIFY(!tavlin->readAllStandardError().contains("no font for Chinese"));
    // The lock went with it: the next copy starts as the only one.
    QProcess* next = startTavlin(makeFolder(true));
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 2, 60000);
    QVERIFY(ShownWindowId(next->processId(), kCaption).isEmpty());
}

void tst_Program::startedAsRootItSaysSoAndEnds() {
    if (::geteuid() != 0) {
        QSKIP("only a run as root shows it");
    }
    // sudo tavlin, with Chromium's sandbox as it is by default.
    QProcess tavlin;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_work->filePath(QStringLiteral("runtime")));
    tavlin.setProcessEnvironment(env);
    const QString folder = makeFolder(true);
    tavlin.start(folder + QStringLiteral("/tavlin"));
    QVERIFY(tavlin.waitForFinished(30000));
    QCOMPARE(tavlin.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tavlin.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(tavlin.readAllStandardError()),
             QStringLiteral("tavlin: Tavlin runs as the officer's own user, not as root; start it "
                            "from the officer's desktop session, without sudo.\n"));
    QCOMPARE(inspectRequests(), 0);
    QVERIFY(ShownWindowId(tavlin.processId(), QStringLiteral("Tavlin")).isEmpty());
    // Nothing of a run was made: no log folder beside the program.
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/LogFiles")));
}

void tst_Program::windowStartsMaximisedAndADoubleClickActsOnce() {
    QProcess* tavlin = startTavlin(makeFolder(true));
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    QVERIFY(!window.isEmpty());
    // Maximised through the window manager, from the first start on.
    QTRY_VERIFY_WITH_TIMEOUT(IsMaximised(window), 10000);
    Screenshot(QStringLiteral("desktop-100"));
    // A double click on 登录 (left 844, top 3, 60 x 60) asks for the start once.
    QStringList seen;
    const auto starts = [&](const QString& id) {
        seen += m_site->takeRequests();
        return seen.filter(QStringLiteral("/inspect?id=") + id).size();
    };
    const QString first = QStringLiteral("NDQwMTAwMDAwMQ");  // 4401000001
    const QString second = QStringLiteral("NDQwMTAwMDAwMg"); // 4401000002
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("874"),
             QStringLiteral("33")});
    XDoTool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
             QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(starts(first) >= 1, 30000);
    // Then the enterprise number changes and the officer clicks once: the
    // start that follows carries the new number, so every start of the double
    // click is counted by the time it arrives.
    QProcess config;
    config.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-config"),
                 {QStringLiteral("write"), tavlin->workingDirectory(), QStringLiteral("--url"),
                  m_site->base() + QStringLiteral("/inspect"), QStringLiteral("--number"),
                  QStringLiteral("4401000002")});
    QVERIFY(config.waitForFinished(10000));
    QCOMPARE(config.exitCode(), 0);
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("860"),
             QStringLiteral("20")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(starts(second) >= 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(starts(second) >= 1 && seen.last() == QStringLiteral("/login"), 30000);
    QCOMPARE(starts(first), 1);
    QCOMPARE(starts(second), 1);
}

void tst_Program::withoutAChineseFontTheLogAndStandardErrorSaySo() {
    // A fontconfig that knows no fonts at all, as on a PC without any.
    const QString config = m_work->filePath(QStringLiteral("fonts.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\"?><fontconfig><dir>%1</dir>"
                              "<cachedir>%1</cachedir></fontconfig>\n")
                   .arg(m_work->filePath(QStringLiteral("no-fonts")))
                   .toUtf8());
    file.close();
    QProcessEnvironment env;
    env.insert(QStringLiteral("FONTCONFIG_FILE"), config);
    const QString folder = makeFolder(true);
    QProcess* tavlin = startTavlin(folder, env);
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += tavlin->readAllStandardError()).contains("no font for Chinese text is installed"),
        30000);
    QVERIFY(said.contains("fonts-noto-cjk"));
    tavlin->terminate();
    QVERIFY(tavlin->waitForFinished(30000));
    said += tavlin->readAllStandardError();
    QCOMPARE(said.count("no font for Chinese"), 1); // once
    // And the log has the line, with the package to install.
    QByteArray log;
    for (const QFileInfo& day :
         QDir(folder + QStringLiteral("/LogFiles")).entryInfoList(QDir::Files)) {
        QFile entry(day.filePath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        log += entry.readAll();
    }
    QVERIFY2(log.contains("fonts-noto-cjk"), log.constData());
}

void tst_Program::keyboardReachesTheTitleButtons_data() {
    QTest::addColumn<QString>("rhiBackend");
    QTest::newRow("default composition") << QString();
    // Composed through OpenGL over a software rasteriser the page answers
    // F6 later than Enter is typed after it: Enter must still follow F6.
    QTest::newRow("through OpenGL") << QStringLiteral("opengl");
}

void tst_Program::keyboardReachesTheTitleButtons() {
    QFETCH(QString, rhiBackend);
    QProcessEnvironment env;
    if (!rhiBackend.isEmpty()) {
        env.insert(QStringLiteral("QSG_RHI_BACKEND"), rhiBackend);
    }
    QProcess* tavlin = startTavlin(makeFolder(true), env);
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    QVERIFY(!window.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(IsMaximised(window), 10000);
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    // On the login page 登录 is the first shown button from the left: F6,
    // then Enter, asks for the start again.
    XDoTool({QStringLiteral("key"), QStringLiteral("F6")});
    XDoTool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 2, 30000);
    // Tab goes on to 关闭; Space presses it.
    XDoTool({QStringLiteral("key"), QStringLiteral("Tab")});
    XDoTool({QStringLiteral("key"), QStringLiteral("space")});
    QVERIFY(tavlin->waitForFinished(30000));
    QCOMPARE(tavlin->exitCode(), 0);
    QCOMPARE(inspectRequests(), 2);
}

void tst_Program::pageAndItsTitleButtonsReachTheScreen() {
    // The web view and the window's own widgets are composed however this
    // display draws (here Mesa's software rasteriser): the page's own
    // background fills the web area, and 拍照, shown once a photo page has
    // completed, is on the screen (its camera drawn over about 400 pixels),
    // where a home page leaves the title picture.
    const QRect photoButton(673, 3, 60, 60);
    const QRgb pageBackground = qRgb(0xee, 0xf2, 0xf7);
    QImage home;
    for (const QString& path : {QStringLiteral("/home"), QStringLiteral("/photo")}) {
        QProcess* tavlin = startTavlin(makeFolder(true, path));
        const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
        QVERIFY(!window.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(IsMaximised(window), 10000);
        QImage picture;
        const auto pageShown = [&] {
            picture = WindowPicture(window, m_work->path());
            if (picture.isNull() || picture.width() < photoButton.right() + 1) {
                return false;
            }
            // Left of the page's content, above the status bar.
            const bool background = picture.pixel(10, picture.height() - 40) == pageBackground;
            if (home.isNull()) {
                return background; // 拍照 is hidden from the start
            }
            return background && DifferingPixels(picture, home, photoButton) > 200;
        };
        QTRY_VERIFY_WITH_TIMEOUT(pageShown(), 30000);
        if (home.isNull()) {
            home = picture;
        } else {
            Screenshot(QStringLiteral("photo-page-on-screen"));
        }
        tavlin->terminate();
        QVERIFY(tavlin->waitForFinished(30000));
    }
}

void tst_Program::windowFitsTheScreenAtAnyScale_data() {
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("screen");
    QTest::newRow("125 % on 1366x768") << QStringLiteral("1.25") << QStringLiteral("1366x768");
    QTest::newRow("200 % on 1920x1080") << QStringLiteral("2") << QStringLiteral("1920x1080");
}

void tst_Program::windowFitsTheScreenAtAnyScale() {
    QFETCH(QString, scale);
    QFETCH(QString, screen);
    const QRect room = CaseScreen(screen);
    if (room.isEmpty()) {
        QSKIP("this display has another size; the case runs on a display of its own");
    }
    const int screenWidth = room.width();
    const int screenHeight = room.height();
    const double factor = scale.toDouble();
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    QProcess* tavlin = startTavlin(makeFolder(true), env);
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 1, 60000);
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    QVERIFY(!window.isEmpty());
    // Maximised, and the whole window on the screen.
    QTRY_VERIFY_WITH_TIMEOUT(IsMaximised(window), 10000);
    QRect geometry;
    QTRY_VERIFY_WITH_TIMEOUT(
        (geometry = WindowGeometry(window), geometry.width() > screenWidth / 2), 10000);
    const int x = geometry.x(), y = geometry.y(), width = geometry.width(),
              height = geometry.height();
    QVERIFY2(x >= 0 && y >= 0 && x + width <= screenWidth && y + height <= screenHeight,
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(x).arg(y).arg(width).arg(height)));
    Screenshot(QStringLiteral("desktop-%1").arg(qRound(factor * 100)));
    // 登录 and 关闭 where the title strip puts them in a window of this width:
    // a click on 登录 asks for the start again, one on 关闭 ends Tavlin.
    const int logicalWidth = static_cast<int>(width / factor);
    const int shift = std::max(0, 990 - logicalWidth);
    const auto click = [&](int logicalX) {
        XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(static_cast<int>(logicalX * factor)),
                 QString::number(static_cast<int>(33 * factor))});
        XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    };
    click(844 + 8 - shift); // near 登录's left edge
    QTRY_COMPARE_WITH_TIMEOUT(inspectRequests(), 2, 30000);
    click(930 + 30 - shift);
    QVERIFY(tavlin->waitForFinished(30000));
    QCOMPARE(tavlin->exitCode(), 0);
}

QString tst_Program::startOnThePhotoPage(const QProcessEnvironment& env, QProcess*& tavlin) {
    const QString folder = makeFolder(true, QStringLiteral("/photo"));
    QFile::copy(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-camera.so"),
                folder + QStringLiteral("/tavlin-camera.so"));
    tavlin = startTavlin(folder, env);
    QStringList seen;
    if (!QTest::qWaitFor(
            [&] {
                seen += m_site->takeRequests();
                return !seen.filter(QRegularExpression(QStringLiteral("^/photo\\?"))).isEmpty();
            },
            60000)) {
        return {};
    }
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    if (window.isEmpty() || !QTest::qWaitFor([&] { return IsMaximised(window); }, 10000)) {
        return {};
    }
    return window;
}

// Opens the camera window from the keyboard: 拍照 is the first shown title
// button of the photo page, so F6, then Enter. Empty when it did not open.
QString OpenCameraWindow(QProcess* tavlin, const QString& window) {
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    QString camera;
    for (int attempt = 0; attempt < 5 && camera.isEmpty(); ++attempt) {
        XDoTool({QStringLiteral("key"), QStringLiteral("F6")});
        XDoTool({QStringLiteral("key"), QStringLiteral("Return")});
        camera = WaitForWindow(tavlin->processId(), QStringLiteral("拍照"), 10000);
        if (camera.isEmpty()) {
            XDoTool({QStringLiteral("key"), QStringLiteral("Escape")}); // back to the page
        }
    }
    return camera;
}

void tst_Program::cameraWindowOpensFromTheKeyboardAndFitsTheScreen_data() {
    windowFitsTheScreenAtAnyScale_data();
    QTest::newRow("100 % on 1366x768") << QStringLiteral("1") << QStringLiteral("1366x768");
}

void tst_Program::cameraWindowOpensFromTheKeyboardAndFitsTheScreen() {
    QFETCH(QString, scale);
    QFETCH(QString, screen);
    const QRect room = CaseScreen(screen);
    if (room.isEmpty()) {
        QSKIP("this display has another size; the case runs on a display of its own");
    }
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    QProcess* tavlin = nullptr;
    const QString window = startOnThePhotoPage(env, tavlin);
    QVERIFY2(!window.isEmpty(), "Tavlin did not show the photo page maximised");
    const QString camera = OpenCameraWindow(tavlin, window);
    QVERIFY2(!camera.isEmpty(), "F6 and Enter on the photo page opened no camera window");
    QRect geometry;
    QTRY_VERIFY_WITH_TIMEOUT((geometry = WindowGeometry(camera), geometry.width() > 100), 10000);
    QVERIFY2(room.contains(geometry), qPrintable(QStringLiteral("camera window %1,%2 %3x%4")
                                                     .arg(geometry.x())
                                                     .arg(geometry.y())
                                                     .arg(geometry.width())
                                                     .arg(geometry.height())));
    // The preview is whole: under it, the window's own light background, not
    // the black of a preview cut by the window's edge.
    const QImage picture = WindowPicture(camera, m_work->path());
    QVERIFY(!picture.isNull());
    const QColor bottom = picture.pixelColor(picture.width() / 2, picture.height() - 3);
    QVERIFY2(bottom.lightness() > 160, qPrintable(bottom.name()));
    QVERIFY2(picture.pixelColor(picture.width() / 2, picture.height() / 2).lightness() < 40,
             "no preview in the middle of the window");
    Screenshot(QStringLiteral("desktop-camera-%1").arg(qRound(scale.toDouble() * 100)));
    tavlin->terminate();
    QVERIFY(tavlin->waitForFinished(30000));
}

// Tavlin's environment for the test's cameras, described by the file cameras.
QProcessEnvironment CameraEnvironment(const QString& cameras, const QString& registry) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("GST_PLUGIN_PATH"), QStringLiteral(TAVLIN_VCAM_PLUGIN_DIR));
    env.insert(QStringLiteral("GST_REGISTRY"), registry);
    env.insert(QStringLiteral("GST_PLUGIN_FEATURE_RANK"),
               QStringLiteral("v4l2deviceprovider:NONE,pipewiredeviceprovider:NONE,"
                              "libcameraprovider:NONE"));
    env.insert(QStringLiteral("TAVLIN_VCAM_FILE"), cameras);
    return env;
}

void tst_Program::thePhotoReachesOnlyItsDocumentWhenThePageMovesOnItsOwn() {
    // The photo page moves, by its own timer, to another origin of the same
    // site while the camera window is open; the officer presses 拍  照 once
    // the new page shows. The new page must receive nothing.
    m_site = std::make_unique<SampleSite>();
    QVERIFY(m_site->start({QStringLiteral("--hostile")}));
    SampleSite sameSite;
    QVERIFY(sameSite.start({QStringLiteral("--hostile")}));
    const QString folder =
        makeFolder(true, QStringLiteral("/hostile/photo-moves/%1/6000").arg(sameSite.port()));
    QVERIFY(QFile::copy(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-camera.so"),
                        folder + QStringLiteral("/tavlin-camera.so")));
    const QString cameras = m_work->filePath(QStringLiteral("cameras.txt"));
    QFile list(cameras);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("name=USB Camera;colour=3060c0\n");
    list.close();
    QProcess* tavlin = startTavlin(
        folder, CameraEnvironment(cameras, m_work->filePath(QStringLiteral("registry.bin"))));
    QStringList seen;
    const auto saw = [](SampleSite& site, QStringList& requests, const QString& beacon) {
        requests += site.takeRequests();
        return !requests.filter(QStringLiteral("/beacon?") + beacon).isEmpty();
    };
    QVERIFY(QTest::qWaitFor([&] { return saw(*m_site, seen, QStringLiteral("moves-ready")); },
                            60000));
    const QString window = WaitForWindow(tavlin->processId(), QStringLiteral("Tavlin"));
    QVERIFY(!window.isEmpty());
    const QString camera = OpenCameraWindow(tavlin, window);
    QVERIFY2(!camera.isEmpty(), "no camera window");
    QStringList trap;
    QVERIFY2(QTest::qWaitFor([&] { return saw(sameSite, trap, QStringLiteral("trap-ready")); },
                             30000),
             "the page did not move on");
    QVERIFY2(!WaitForWindow(tavlin->processId(), QStringLiteral("拍照"), 1000).isEmpty(),
             "the camera window closed as the page moved");
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), camera, QStringLiteral("537"),
             QStringLiteral("23")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    // The import ends by saying that the page it was for is gone.
    const auto log = [&folder] {
        QByteArray text;
        for (const QFileInfo& day :
             QDir(folder + QStringLiteral("/LogFiles")).entryInfoList(QDir::Files)) {
            QFile entry(day.filePath());
            if (entry.open(QIODevice::ReadOnly)) {
                text += entry.readAll();
            }
        }
        return text;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains("the page the photo was taken for is gone"),
                              log().constData(), 20000);
    // Nothing was put into any page: the trap, which reports what reaches
    // its fields, saw none.
    trap += sameSite.takeRequests();
    QVERIFY2(trap.filter(QStringLiteral("/beacon?trap-text")).isEmpty() &&
                 trap.filter(QStringLiteral("/beacon?trap-image")).isEmpty(),
             qPrintable(trap.join(u' ')));
    tavlin->terminate();
    QVERIFY(tavlin->waitForFinished(30000));
}

void tst_Program::documentCameraPhotoAndUnpluggedCameraInTheRealProgram() {
    // Cameras of the test's own: a document camera (its largest raw mode too
    // slow to preview) and an HD webcam in BT.709.
    const QString cameras = m_work->filePath(QStringLiteral("cameras.txt"));
    const auto plug = [&cameras](const QByteArray& lines) {
        QFile file(cameras + QStringLiteral(".part"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines);
        file.close();
        QVERIFY(std::rename(QFile::encodeName(file.fileName()).constData(),
                            QFile::encodeName(cameras).constData()) == 0);
    };
    const QByteArray webcam = "id=web;name=Webcam HD;format=yuy2;size=1280x720;"
                              "colorimetry=bt709;colour=c03020\n";
    plug("id=doc;name=Document Camera;modes=YUY2:2592x1944@2,MJPG:2592x1944@15,"
         "MJPG:640x480@30;colour=3060c0\n" +
         webcam);
    const QProcessEnvironment env =
        CameraEnvironment(cameras, m_work->filePath(QStringLiteral("registry.bin")));
    QProcess* tavlin = nullptr;
    const QString window = startOnThePhotoPage(env, tavlin);
    QVERIFY2(!window.isEmpty(), "Tavlin did not show the photo page maximised");
    const QString folder = QFileInfo(tavlin->program()).absolutePath();
    const auto openCamera = [&] { return OpenCameraWindow(tavlin, window); };
    const auto previewColour = [this](const QString& camera) {
        return WindowPicture(camera, m_work->path()).pixelColor(13 + 320, 40 + 240);
    };
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
               std::abs(a.blue() - b.blue()) <= 6;
    };

    // The document camera is the first: its picture, in its colours.
    QString camera = openCamera();
    QVERIFY2(!camera.isEmpty(), "no camera window");
    QTRY_VERIFY2_WITH_TIMEOUT(near(previewColour(camera), QColor(0x30, 0x60, 0xc0)),
                              qPrintable(previewColour(camera).name()), 20000);
    Screenshot(QStringLiteral("desktop-camera-document"));
    // 拍  照, clicked as the officer clicks it.
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), camera, QStringLiteral("537"),
             QStringLiteral("23")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    const QString photo = folder + QStringLiteral("/USB_Temp.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(photo), 10000);
    // By default what the back end has always received: 640x480.
    QImage picture(photo);
    QCOMPARE(picture.size(), QSize(640, 480));
    QVERIFY2(near(picture.pixelColor(320, 240), QColor(0x30, 0x60, 0xc0)),
             qPrintable(picture.pixelColor(320, 240).name()));
    // IT raises the limit; the next camera window takes the camera's largest.
    QProcess config;
    config.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-config"),
                 {QStringLiteral("write"), folder, QStringLiteral("--largest-photo"),
                  QStringLiteral("2592x1944")});
    QVERIFY(config.waitForFinished(30000) && config.exitCode() == 0);
    QVERIFY(QFile::remove(photo));
    camera = openCamera();
    QVERIFY2(!camera.isEmpty(), "no camera window with the larger limit");
    QTRY_VERIFY2_WITH_TIMEOUT(near(previewColour(camera), QColor(0x30, 0x60, 0xc0)),
                              qPrintable(previewColour(camera).name()), 20000);
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), camera, QStringLiteral("537"),
             QStringLiteral("23")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(photo), 10000);
    picture = QImage(photo);
    QCOMPARE(picture.size(), QSize(2592, 1944));
    QVERIFY2(near(picture.pixelColor(1296, 972), QColor(0x30, 0x60, 0xc0)),
             qPrintable(picture.pixelColor(1296, 972).name()));

    // Unplugged while previewed: the officer is told within seconds.
    camera = openCamera();
    QVERIFY2(!camera.isEmpty(), "no second camera window");
    QTRY_VERIFY_WITH_TIMEOUT(near(previewColour(camera), QColor(0x30, 0x60, 0xc0)), 20000);
    plug(webcam);
    const QString box = WaitForWindow(tavlin->processId(), kCaption, 10000);
    QVERIFY2(!box.isEmpty(), "no message box for the unplugged camera");
    Screenshot(QStringLiteral("desktop-camera-unplugged"));
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box});
    XDoTool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
    // The webcam, now the only camera, is chosen from the opened list.
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), camera});
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), camera, QStringLiteral("300"),
             QStringLiteral("23")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
    XDoTool({QStringLiteral("key"), QStringLiteral("alt+Down")});
    XDoTool({QStringLiteral("key"), QStringLiteral("Down")});
    XDoTool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY2_WITH_TIMEOUT(near(previewColour(camera), QColor(0xc0, 0x30, 0x20)),
                              qPrintable(previewColour(camera).name()), 20000);
    Screenshot(QStringLiteral("desktop-camera-webcam"));
    tavlin->terminate();
    QVERIFY(tavlin->waitForFinished(30000));
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
