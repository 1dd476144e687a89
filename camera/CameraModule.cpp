#include "CameraModule.h"

#include "QtVcx.h"

extern "C" Q_DECL_EXPORT Vcx* tavlin_create_camera() {
    return new QtVcx();
}
