#include "PhotoSchemeHandler.h"

#include <QFile>
#include <QRandomGenerator>
#include <QWebEngineUrlRequestJob>

const QByteArray PhotoSchemeHandler::kScheme = QByteArrayLiteral("tavlin-photo");

namespace {

bool SameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

} // namespace

QString PhotoSchemeHandler::RandomToken() {
    quint64 bits[2];
    QRandomGenerator::system()->fillRange(bits);
    return QStringLiteral("%1%2")
        .arg(bits[0], 16, 16, QLatin1Char('0'))
        .arg(bits[1], 16, 16, QLatin1Char('0'));
}

QUrl PhotoSchemeHandler::serve(const QString& path, const QUrl& origin) {
    m_path = path;
    m_origin = origin;
    m_current =
        QUrl(QStringLiteral("%1://photo/%2.jpg").arg(QString::fromLatin1(kScheme), RandomToken()));
    return m_current;
}

void PhotoSchemeHandler::forget() {
    m_path.clear();
    m_current.clear();
    m_origin.clear();
}

void PhotoSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    if (m_path.isEmpty() || job->requestUrl() != m_current ||
        !SameOrigin(job->initiator(), m_origin)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    // The file itself is the reply's body, read as the page takes it.
    auto* file = new QFile(m_path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    job->reply(QByteArrayLiteral("image/jpeg"), file);
}
