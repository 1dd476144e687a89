// Tavlin's main window with the real embedded browser, started on a program
// folder of its own that points at a sample back end: the fixture of the
// end-to-end tests and of the photo benchmark.
#pragma once

#include "Camera.h"
#include "IniIdentitySource.h"
#include "Main.h"
#include "Named.h"
#include "SampleSite.h"
#include "ShellConfig.h"
#include "WebEngineBrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <memory>
#include <optional>

struct LiveShell {
    // Lays out the folder (base URL siteBase + "/inspect"), makes and shows the
    // window, and waits until the start has led to the login page.
    // browserSettings: lines of section Browser of Config.ini. Without
    // waitForLogin, returns once the window is shown.
    LiveShell(const QString& siteBase, Dialogs& dialogs, const std::string& browserSettings = {},
              bool waitForLogin = true)
        : base(siteBase) {
        WriteProgramFolder(folder(), (base + QStringLiteral("/inspect")).toStdString(),
                           "EnterpriseNumber=1\n", browserSettings);
        browser = std::make_unique<WebEngineBrowser>();
        identity = std::make_unique<IniIdentitySource>(folder());
        window = std::make_unique<TFrm_Tavlin>(*browser, *identity, dialogs, folder());
        window->resize(1000, 700);
        window->show();
        started = !waitForLogin ||
                  WaitFor([this] { return Named<QWidget>(*window, "Pnl_Msg")->isHidden(); });
    }

    std::string folder() const { return dir.path().toStdString() + "/"; }

    // Moves the page as the web application would and waits for its
    // completion and for what the window reads from it after that. False when
    // it never completed.
    // Opens the page and waits until it completed and, unless settled is
    // false (a page that stops answering scripts soon after it loads), until
    // the window's scripts to it have answered.
    bool open(const QString& path, bool settled = true) {
        return openUrl(QUrl(base + path), settled);
    }
    bool openUrl(const QUrl& url, bool settled = true) {
        QSignalSpy done(browser.get(), &Browser::documentComplete);
        browser->navigate(url);
        return WaitFor([&done] { return !done.isEmpty(); }) && (!settled || settle());
    }

    // Waits until the scripts the window has sent to the page have answered:
    // scripts answer in order, and the window reads the title first and the
    // labels in the title's answer, so two round trips cover both.
    bool settle() {
        return evaluate(QStringLiteral("1"), 10000).isValid() &&
               evaluate(QStringLiteral("1"), 10000).isValid();
    }

    // The value of script run in the page's isolated world, waited for without
    // delay; invalid when no answer came within timeoutMs.
    QVariant evaluate(const QString& script, int timeoutMs = 30000) {
        // Shared with the callback, which may come after a timeout.
        auto answer = std::make_shared<std::optional<QVariant>>();
        browser->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                       [answer](const QVariant& value) { *answer = value; });
        // Not QTest::qWaitFor: it sleeps 10 ms between its passes over the
        // events, and the browser, which needs many passes for one answer,
        // made the browser tests six times slower (tst_photo 6 s -> 38 s).
        QElapsedTimer timer;
        timer.start();
        while (!answer->has_value() && timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return answer->value_or(QVariant());
    }

    // Waits for condition while the events go on (QTest::qWait processes
    // them throughout; see evaluate for why not QTest::qWaitFor).
    template <typename Condition> static bool WaitFor(Condition condition, int timeoutMs = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs) {
                return false;
            }
            QTest::qWait(10);
        }
        return true;
    }

    // Destroyed in reverse: the window first, the folder last.
    QTemporaryDir dir;
    QString base;
    std::unique_ptr<WebEngineBrowser> browser;
    std::unique_ptr<IniIdentitySource> identity;
    std::unique_ptr<TFrm_Tavlin> window;
    bool started = false;
};

// While it lives, a camera window still open after timeoutMs is left with
// 退  出: a test fails on what did not happen rather than hang in the window.
class CameraWindowLimit {
public:
    explicit CameraWindowLimit(int timeoutMs = 30000) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            if (auto* camera = qobject_cast<TFrm_Camera*>(QApplication::activeModalWidget())) {
                Named<QPushButton>(*camera, "Btn_Exit")->click();
            }
        });
        m_timer.start(timeoutMs);
    }

private:
    QTimer m_timer;
};
