// Serves the photo to the one document it was given to.
//
// Chromium will not show a local file in an http(s) page, so the photo reaches
// the page under the program's scheme, at tavlin-photo://photo/<token>.jpg, a
// new unguessable address (128 random bits) for every photo. Only that address is served, only to
// requests made by the document of the origin it was given to, and only while that document is
// shown: any other page, earlier or later, another origin or another address is refused.
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class PhotoSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static const QByteArray kScheme;

    // 128 random bits as 32 hexadecimal digits.
    static QString RandomToken();

    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    // A new address for the file at path, for the document of origin.
    QUrl serve(const QString& path, const QUrl& origin);
    // The document the photo was given to is gone.
    void forget();

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    QString m_path;
    QUrl m_current;
    QUrl m_origin;
};
