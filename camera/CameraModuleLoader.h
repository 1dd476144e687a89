// Loads the camera module (the video-capture control over GStreamer) the
// first time a control is asked for, and makes controls from it. The module
// stays loaded for the rest of the run.
#pragma once

#include "Vcx.h"

#include <QLibrary>
#include <QString>

#include <memory>

class CameraModuleLoader {
public:
    // The module's file name, beside the executable.
    static constexpr char kFileName[] = "tavlin-camera.so";

    // The module at path; by default the one beside the executable.
    explicit CameraModuleLoader(QString path = {});

    // A new control, owned by the caller. When the module cannot be loaded
    // (or makes no control), a control without cameras whose listing fails
    // with the module's name and the system's reason.
    std::unique_ptr<Vcx> create();

private:
    QLibrary m_library;
    Vcx* (*m_entry)() = nullptr; // the module's entry, once loaded
};
