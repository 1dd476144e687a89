// Any file content gives ReadIniString a value of at most 2047 bytes without a
// zero byte, and never a fault.
#include "FileOper.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/tavlin-fuzz-" + std::to_string(::getpid()) + ".ini";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    for (const char* key : {"URL", "url", "", "k"}) {
        const std::string value = TFileOper::ReadIniString(path, "URL", key);
        if (value.size() > TFileOper::kMaxIniValue || value.find('\0') != std::string::npos) {
            std::abort();
        }
    }
    ::unlink(path.c_str());
    return 0;
}
