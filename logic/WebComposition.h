// How the window composes the web view with its own widgets.
//
// Through OpenGL, every change of the window's own widgets (a title button
// shown or hidden, a status text) composes the whole window again, web view
// included. With a graphics card that costs nothing worth naming. With only a
// software rasteriser (Mesa's llvmpipe on a PC without a working driver, in a
// virtual machine, under a remote desktop) the same pass is emulated on the
// processor, on the browser's own thread, and every navigation waits behind
// it. There the web view is composed in software instead: the same pixels,
// drawn once, and only the changed part of the window is sent to the screen.
#pragma once

#include <optional>
#include <string_view>

enum class WebComposition { OpenGL, Software };

// The choice for the OpenGL renderer's name (GL_RENDERER); no name when no
// OpenGL context could be made at all. A name that is not known to be a
// software rasteriser keeps OpenGL.
WebComposition ChooseWebComposition(std::optional<std::string_view> glRenderer);
