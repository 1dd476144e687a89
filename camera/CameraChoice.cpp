#include "CameraChoice.h"

#include <algorithm>
#include <tuple>

namespace CameraChoice {

namespace {

// Orders modes of a usable rate: larger pictures, then faster, then raw.
auto Rank(const Mode& mode) {
    return std::make_tuple(static_cast<long long>(mode.width) * mode.height, mode.fps,
                           !mode.compressed);
}

} // namespace

std::optional<std::size_t> Choose(const std::vector<Mode>& modes,
                                  std::optional<std::pair<int, int>> size,
                                  std::optional<std::pair<int, int>> largest) {
    std::optional<std::size_t> best;
    if (size) {
        for (std::size_t i = 0; i < modes.size(); ++i) {
            const Mode& mode = modes[i];
            if (mode.width != size->first || mode.height != size->second) {
                continue;
            }
            if (!best || std::make_tuple(mode.fps, !mode.compressed) >
                             std::make_tuple(modes[*best].fps, !modes[*best].compressed)) {
                best = i;
            }
        }
        return best;
    }
    const auto within = [&largest](const Mode& mode) {
        return !largest || (mode.width <= largest->first && mode.height <= largest->second);
    };
    if (largest && std::none_of(modes.begin(), modes.end(), within)) {
        // Nothing within the cap: as close to it as the camera comes.
        for (std::size_t i = 0; i < modes.size(); ++i) {
            const auto area = [](const Mode& mode) {
                return static_cast<long long>(mode.width) * mode.height;
            };
            if (!best || std::make_tuple(-area(modes[i]), modes[i].fps, !modes[i].compressed) >
                             std::make_tuple(-area(modes[*best]), modes[*best].fps,
                                             !modes[*best].compressed)) {
                best = i;
            }
        }
        return best;
    }
    double fastest = 0;
    for (const Mode& mode : modes) {
        if (within(mode)) {
            fastest = std::max(fastest, mode.fps);
        }
    }
    const double usable = std::min(kUsableFps, fastest);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        // A rate given as 14.985 (15000/1001) counts as 15.
        if (!within(modes[i]) || modes[i].fps + 0.05 < usable) {
            continue;
        }
        if (!best || Rank(modes[i]) > Rank(modes[*best])) {
            best = i;
        }
    }
    return best;
}

std::string DisplayName(std::string name) {
    // Back over the continuation bytes (10xxxxxx) of the last character to
    // its lead byte, and drop the character if it is shorter than its lead says.
    std::size_t lead = name.size();
    int continuation = 0;
    while (lead > 0 && continuation < 4 &&
           (static_cast<unsigned char>(name[lead - 1]) & 0xC0) == 0x80) {
        --lead;
        ++continuation;
    }
    if (lead == 0) {
        return name; // no lead byte at all: nothing to judge by
    }
    const auto first = static_cast<unsigned char>(name[lead - 1]);
    const int length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length > 1 && continuation + 1 < length) {
        name.resize(lead - 1);
    }
    return name;
}

} // namespace CameraChoice
