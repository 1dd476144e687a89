// The composition of the page: the renderer's OpenGL is asked for its name
// once, before the application starts (see WebComposition).
#include "WebComposition.h"
#include "WebEngineBrowser.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

#include <optional>
#include <string>

namespace {

// The name of the renderer an OpenGL context of this display gets, or none
// when no context can be made and made current. The context the application
// made for sharing is asked when there is one: making another would load the
// driver's state a second time.
std::optional<std::string> OpenGLRenderer() {
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext own;
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (context == nullptr || !context->isValid()) {
        context = own.create() ? &own : nullptr;
    }
    if (context == nullptr || !surface.isValid() || !context->makeCurrent(&surface)) {
        return std::nullopt;
    }
    const auto* name = context->functions()->glGetString(GL_RENDERER);
    std::string renderer = name != nullptr ? reinterpret_cast<const char*>(name) : "";
    context->doneCurrent();
    return renderer;
}

// OpenGL was chosen from outside on a display whose OpenGL is a software
// rasteriser.
bool g_openGLOnTheProcessor = false;

} // namespace

void WebEngineBrowser::chooseComposition() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) {
        return; // Qt's own choice, made by whoever set it
    }
    const bool software = ChooseWebComposition(OpenGLRenderer()) == WebComposition::Software;
    if (qEnvironmentVariableIsSet("QSG_RHI_BACKEND")) {
        g_openGLOnTheProcessor = software; // Qt's own choice all the same
    } else if (software) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
}

bool WebEngineBrowser::composesOnTheProcessor() const {
    return g_openGLOnTheProcessor && QQuickWindow::graphicsApi() != QSGRendererInterface::Software;
}
