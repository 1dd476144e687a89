#include "CameraModuleLoader.h"

#include "CameraModule.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace {

// The control where no camera can be reached at all (the module, or the
// GStreamer it needs, could not be loaded): it has no camera, and listing
// the cameras fails with the reason, so the window takes the road of any
// listing failure (its message box, its log line, 拍  照 disabled).
class UnavailableVcx final : public Vcx {
public:
    explicit UnavailableVcx(QString reason) : m_reason(std::move(reason)) {}
    QWidget* createPreview(QWidget* parent) override {
        m_view = new QWidget(parent);
        return m_view;
    }
    QWidget* previewWidget() override { return m_view; }
    int CountVideoDevices() override { throw VcxError(m_reason.toStdString()); }
    QString VideoDeviceNameAt(int) override { throw VcxError(m_reason.toStdString()); }
    int VideoDeviceIndex() override { return -1; }
    void setVideoDeviceIndex(int) override { throw VcxError(m_reason.toStdString()); }
    bool Connected() override { return false; }
    void setConnected(bool connected) override {
        if (connected) {
            throw VcxError(m_reason.toStdString());
        }
    }
    void setPreview(bool) override {}
    bool ApplyFrameSize(int, int) override { return false; }
    bool WriteFrameJpeg(const QString&, int) override { return false; }

private:
    QString m_reason;
    QPointer<QWidget> m_view;
};

} // namespace

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
    QString problem;
    if (m_entry == nullptr) {
        if (!m_library.load()) {
            problem = QStringLiteral("the camera module could not be loaded: %1")
                          .arg(m_library.errorString());
        } else if (m_entry = reinterpret_cast<CameraModuleEntry>(
                       m_library.resolve(kCameraModuleEntry));
                   m_entry == nullptr) {
            problem = QStringLiteral("%1 is not a camera module: %2")
                          .arg(m_library.fileName(), m_library.errorString());
        }
    }
    std::unique_ptr<Vcx> control(m_entry != nullptr ? m_entry() : nullptr);
    if (!control && problem.isEmpty()) {
        problem =
            QStringLiteral("the camera module %1 made no camera control").arg(m_library.fileName());
    }
    if (!control) {
        return std::make_unique<UnavailableVcx>(problem);
    }
    return control;
}
