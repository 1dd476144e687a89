// Scripted stand-ins for the browser, the message boxes and the identity
// source, for window tests.
#pragma once

#include "Browser.h"
#include "CodePage.h"
#include "Dialogs.h"
#include "IdentitySource.h"
#include "LogReader.h"
#include "ShellConfig.h"
#include "SysOper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>

class FakeBrowser : public Browser {
public:
    // Like the real browser's: a child of the window that shows it. One fake
    // serves the windows of several tests: each makes its own view.
    QWidget* createView(QWidget* parent) override {
        m_view = new QWidget(parent);
        return m_view;
    }
    QWidget* view() override { return m_view; }
    void navigate(const QUrl& url) override { navigated.append(url); }
    void setCompletionReads(const QStringList& ids) override { completionIds = ids; }
    QStringList completionIds;
    DocumentPin pinDocument() override {
        return DocumentPin{document, QStringLiteral("ticket-%1").arg(document),
                           QStringLiteral("http://127.0.0.1:9")};
    }
    void importPhoto(const DocumentPin& pin, const QString& inputId, const std::string& text,
                     const QString& imageId, const QString& path, Callback callback) override {
        if (pin.document != document) {
            callback(ScriptResult{false, kDocumentGone, {}});
            return;
        }
        photoWrites.append({inputId, QString::fromStdString(text), imageId, path});
        callback(photoResult);
    }
    struct PhotoWrite {
        QString inputId;
        QString text;
        QString imageId;
        QString path;
    };
    QList<PhotoWrite> photoWrites;
    ScriptResult photoResult{true, {}, {}};
    quint64 document = 1; // the document shown: a new number is a new document
    using Browser::runPageScript;
    void runPageScript(const QString& code, std::function<void(bool ran)> ran) override {
        pageScripts.append(code);
        if (ran) {
            ran(pageScriptsRun);
        }
    }
    bool pageScriptsRun = true; // the page defines what the scripts call
    void clearHistory() override { ++historyClears; }
    int historyClears = 0;
    bool repeatFailedLoad() override {
        failedLoadRepeats += failedLoadRepeatable ? 1 : 0;
        return failedLoadRepeatable;
    }
    bool failedLoadRepeatable = true; // the failed page was a plain GET
    int failedLoadRepeats = 0;
    void setPagePolicy(const QUrl& base, const ShellConfig::BrowserSettings& settings) override {
        policyBase = base;
        allowedOrigins.clear();
        for (const std::string& origin : settings.allowedOrigins) {
            allowedOrigins.append(QString::fromStdString(origin));
        }
        loadTimeoutSeconds = settings.loadTimeoutSeconds;
    }
    QUrl policyBase;
    QStringList allowedOrigins;
    int loadTimeoutSeconds = 0;

    // Completes a top-level document with the given title (and elements'
    // texts, as the real browser reads them as it completes).
    void complete(const QString& pageTitle) {
        title = pageTitle;
        CompletedPage page;
        page.ok = true;
        if (hasDocument) {
            page.title = title;
            for (const QString& id : completionIds) {
                if (elements.contains(id)) {
                    page.texts.insert(id, elements.value(id));
                }
            }
            page.url = QUrl(QStringLiteral("http://127.0.0.1:9/page"));
            page.origin = QStringLiteral("http://127.0.0.1:9");
        }
        emit documentComplete(page);
    }
    // A document completed that could not be read, for the reason given.
    void completeUnread(const QString& error) {
        CompletedPage page;
        page.ok = true;
        page.error = error;
        emit documentComplete(page);
    }
    // A top-level load failed.
    void fail() { emit documentComplete(CompletedPage{}); }

    bool composesOnTheProcessor() const override { return onTheProcessor; }
    bool onTheProcessor = false;

    QList<QUrl> navigated;
    QStringList pageScripts;
    QString title;
    bool hasDocument = true;
    QVariantMap elements;

private:
    QPointer<QWidget> m_view;
};

class FakeDialogs : public Dialogs {
public:
    void warning(QWidget*, const QString& text) override { warnings.append(text); }
    bool askYesNo(QWidget*, const QString& text) override {
        questions.append(text);
        return answer;
    }
    void errorReport(QWidget*, const QString& text) override { errors.append(text); }
    QStringList warnings;
    QStringList questions;
    QStringList errors;
    bool answer = false;
};

class FakeIdentity : public IdentitySource {
public:
    EnterpriseIdentity Read() override {
        ++reads;
        return identity;
    }
    EnterpriseIdentity identity;
    int reads = 0;
};

// With TAVLIN_SCREENSHOTS set to a folder (and a real display), saves what the
// screen shows of the window, for the demo and for a person to look at.
inline void SaveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("TAVLIN_SCREENSHOTS");
    if (folder.isEmpty() || QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return;
    }
    QTest::qWait(800); // let the window paint
    QGuiApplication::primaryScreen()
        ->grabWindow(window->winId())
        .save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

// The bytes of the file at path; empty when it cannot be read.
inline QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes bytes to the file at path, replacing it.
inline void WriteFile(const QString& path, const std::string& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

// The daily log of this test process: a folder of its own, set before any
// test runs, so that tests running side by side never share a log.
class ProcessLog {
public:
    ProcessLog() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavlin-log-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_root = pattern;
            TSysOper::SetLogFolder(m_root + "/LogFiles/");
        }
    }
    ~ProcessLog() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    QString folder() const { return QString::fromStdString(m_root + "/LogFiles"); }

private:
    std::string m_root;
};
inline const ProcessLog g_processLog;

// The daily log, in UTF-8, as written.
inline QString LogText() {
    QString text;
    const QDir folder(g_processLog.folder());
    for (const QString& name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            text += QString::fromStdString(CodePage::ToUtf8(file.readAll().toStdString()));
        }
    }
    return text;
}

// The messages of the log's entries, enciphered ones deciphered, one a line.
inline QString LogMessages() {
    QString text;
    const QDir folder(g_processLog.folder());
    for (const QString& name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const std::string line =
                raw.endsWith('\r') ? raw.chopped(1).toStdString() : raw.toStdString();
            const LogReader::ParsedLine parsed = LogReader::Parse(line);
            std::string message(parsed.body);
            if (parsed.kind == LogReader::LineKind::Enciphered) {
                LogReader::Decipher(parsed.body, message);
            } else if (parsed.kind == LogReader::LineKind::Continuation) {
                continue;
            }
            text += QString::fromStdString(CodePage::ToUtf8(message)) + QLatin1Char('\n');
        }
    }
    return text;
}

inline void ClearLog() {
    QDir(g_processLog.folder()).removeRecursively();
}
