#include "CameraModuleLoader.h"

#include "CameraModule.h"

#include <QCoreApplication>

CameraModuleLoader::CameraModuleLoader(QString path) {
    if (path.isEmpty()) {
        path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kFileName);
    }
    m_library.setFileName(path);
    // Every symbol now: a module that does not fit this program fails here,
    // with the reason, rather than later in the middle of a photo.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
}

std::unique_ptr<Vcx> CameraModuleLoader::create() {
    if (m_entry == nullptr) {
        if (!m_library.load()) {
            throw VcxError(QStringLiteral("the camera module could not be loaded: %1")
                               .arg(m_library.errorString())
                               .toStdString());
        }
        m_entry = reinterpret_cast<CameraModuleEntry>(m_library.resolve(kCameraModuleEntry));
        if (m_entry == nullptr) {
            throw VcxError(QStringLiteral("%1 is not a camera module: %2")
                               .arg(m_library.fileName(), m_library.errorString())
                               .toStdString());
        }
    }
    std::unique_ptr<Vcx> control(m_entry());
    if (!control) {
        throw VcxError(QStringLiteral("the camera module %1 made no camera control")
                           .arg(m_library.fileName())
                           .toStdString());
    }
    return control;
}
