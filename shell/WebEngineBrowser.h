// The embedded browser over Qt WebEngine, with the page policy the shell needs:
// no pop-up windows, permissions and downloads refused, certificate errors
// refused, no access from pages to local files, nothing exposed to the page.
#pragma once

#include "Browser.h"

#include <QPointer>

class PhotoSchemeHandler;
class QWebEnginePage;
class QWebEngineView;
class QWebEngineProfile;
class InspectPage;

class WebEngineBrowser : public Browser {
    Q_OBJECT
public:
    explicit WebEngineBrowser(QObject* parent = nullptr);
    ~WebEngineBrowser() override;

    // The page, for tests that look into it.
    QWebEnginePage* page() const;

    // The scheme that serves the photo file. Call once, before the application object exists.
    static void registerPhotoScheme();

    QWidget* view() override;
    void navigate(const QUrl& url) override;
    void readTitle(Callback callback) override;
    void readElementTexts(const QStringList& ids, Callback callback) override;
    void setPhotoFields(const QString& inputId, const std::string& text, const QString& imageId,
                        const QUrl& imageUrl, Callback callback) override;
    void runPageScript(const QString& code) override;
    QUrl servePhoto(const QString& path) override;

private:
    // Runs one script in the isolated world and turns its {ok, error, ...} into a ScriptResult.
    void runIsolated(const QString& script, Callback callback);

    QWebEngineProfile* m_profile = nullptr;
    QPointer<QWebEngineView> m_view;
    InspectPage* m_page = nullptr;
    PhotoSchemeHandler* m_photos = nullptr;
};
