// What the camera control decides about a camera before it opens it: the
// picture mode to capture with, and the name to show.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CameraChoice {

// One mode a camera offers.
struct Mode {
    bool compressed = false; // MJPEG rather than raw pictures
    std::string format;      // the raw layout ("YUY2", "NV12", ...); empty for MJPEG
    int width = 0;
    int height = 0;
    double fps = 0; // the highest rate the camera offers at this mode
};

// The rate below which a preview stops looking live.
inline constexpr double kUsableFps = 15.0;

// The mode to capture with, or none when modes is empty. With a size asked
// for (the window's size control): the fastest mode of that size, none if the
// camera has no mode of that size. Otherwise the largest picture among the
// modes at a usable rate: at least 15 frames a second, or the camera's best
// rate when it offers nothing that fast. Between equals, the faster, then the
// raw one (nothing to decode, no compression). With a largest picture set
// (the site's cap), modes wider or taller are left out, unless the camera
// offers nothing within it: then its smallest picture is taken.
std::optional<std::size_t> Choose(const std::vector<Mode>& modes,
                                  std::optional<std::pair<int, int>> size = std::nullopt,
                                  std::optional<std::pair<int, int>> largest = std::nullopt);

// A device name as cameras report it (UTF-8, often cut at a fixed length by
// the driver): a character cut at the end is dropped, so that no replacement
// character shows.
std::string DisplayName(std::string name);

} // namespace CameraChoice
