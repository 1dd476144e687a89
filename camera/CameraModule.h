// The entry of the camera module: the one symbol a program looks up after
// loading it. The program that loads the module provides the Vcx base class.
#pragma once

class Vcx;

// The function's name as the loader looks it up.
inline constexpr char kCameraModuleEntry[] = "tavlin_create_camera";

// Makes a video-capture control over GStreamer, owned by the caller.
extern "C" Vcx* tavlin_create_camera();
using CameraModuleEntry = Vcx* (*)();
