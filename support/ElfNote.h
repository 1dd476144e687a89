// The file version note that the build writes into every executable, and its
// reader. The note is an ELF note named kName, of type kType, whose descriptor
// holds two 32-bit words in the file's byte order: the most significant word
// (major << 16 | minor) and the least (release << 16 | build).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ElfNote {

inline constexpr std::string_view kName = "Tavlin";
inline constexpr std::uint32_t kType = 0x56455231; // "VER1"

struct FileVersion {
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
};

struct ReadResult {
    bool ok = false;
    FileVersion version;
    std::string error; // why it failed, when !ok
};

// Reads the version note from the ELF file at path (32 or 64 bits, either byte
// order). Any file, however malformed, gives a result; nothing is read beyond
// the file.
ReadResult ReadVersion(const std::string& path);

// The four numbers "major.minor.release.build".
std::string FormatVersion(const FileVersion& version);

} // namespace ElfNote
