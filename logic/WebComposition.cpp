#include "WebComposition.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

WebComposition ChooseWebComposition(std::optional<std::string_view> glRenderer) {
    if (!glRenderer) {
        return WebComposition::Software; // nothing else can draw the page
    }
    std::string name(*glRenderer);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Mesa's rasterisers (zink over lavapipe names llvmpipe too), its classic
    // one, and Google's.
    constexpr std::array<std::string_view, 5> kSoftware = {
        "llvmpipe", "softpipe", "software rasterizer", "swrast", "swiftshader"};
    const bool software = std::any_of(kSoftware.begin(), kSoftware.end(), [&](std::string_view s) {
        return name.find(s) != std::string::npos;
    });
    return software ? WebComposition::Software : WebComposition::OpenGL;
}
