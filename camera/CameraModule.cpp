#include "CameraModule.h"

#include "GstVcx.h"

extern "C" Q_DECL_EXPORT Vcx* tavlin_create_camera() {
    return new GstVcx();
}
