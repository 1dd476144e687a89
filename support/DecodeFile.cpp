#include "DecodeFile.h"

#include "Base64.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

static_assert(DecodeFile::kBlockBytes == 192 * Base64::kLineBytes);
static_assert(DecodeFile::kBlockChars == 192 * (Base64::kLineChars + 2));

void TMemoryStream::LoadFromFile(const std::string& path) {
    const auto fail = [&path](int error) {
        throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(error));
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail(errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(bytes.size() + 64 * 1024); // the file may have grown since fstat
        }
        const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            fail(errno);
        }
        if (n == 0) {
            break;
        }
        have += static_cast<std::size_t>(n);
    }
    bytes.resize(have);
    m_bytes = std::move(bytes);
    m_position = 0;
}

std::span<const std::uint8_t> TMemoryStream::Read(std::size_t count) {
    const std::size_t n = std::min(count, m_bytes.size() - m_position);
    const auto* at = reinterpret_cast<const std::uint8_t*>(m_bytes.data()) + m_position;
    m_position += n;
    return {at, n};
}

void DecodeFile::StreamToBase64(TMemoryStream& Source, TTextStream& Target) {
    std::array<char, kBlockChars> out;

    // The text's size is known from the data's: make room once.
    const std::size_t bytes = Source.Size() - Source.Position();
    Target.Reserve(bytes / Base64::kLineBytes * (Base64::kLineChars + 2) + 4);

    std::span<const std::uint8_t> block = Source.Read(kBlockBytes);
    while (block.size() == kBlockBytes) {
        char* to = out.data();
        for (std::size_t line = 0; line < 192; ++line) {
            Base64::EncodeLine(block.data() + line * Base64::kLineBytes, to);
            to += Base64::kLineChars;
            *to++ = '\r';
            *to++ = '\n';
        }
        Target.Write({out.data(), out.size()});
        block = Source.Read(kBlockBytes);
    }

    // The last read: complete lines with CR LF, then the rest without a break,
    // and no CR LF after a last line that happens to be complete.
    const std::size_t n = block.size();
    if (n == 0) {
        return;
    }
    const std::size_t lines = n / Base64::kLineBytes;
    const std::size_t rest = n % Base64::kLineBytes;
    char* to = out.data();
    for (std::size_t line = 0; line < lines; ++line) {
        Base64::EncodeLine(block.data() + line * Base64::kLineBytes, to);
        to += Base64::kLineChars;
        *to++ = '\r';
        *to++ = '\n';
    }
    Base64::EncodeGroups(block.data() + lines * Base64::kLineBytes, rest, to);
    const std::size_t keep = Base64::EncodedSize(n) + 2 * ((n - 1) / Base64::kLineBytes);
    Target.Write({out.data(), keep});
}
