#include "DecodeFile.h"

#include "Base64.h"
#include "HugePages.h"
#include "UniqueFd.h"

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
    const UniqueFd closer(fd);

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    AdviseHugePages(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            // The whole size that fstat gave is in: look for more before making room, so
            // that the common case never copies the buffer.
            char probe[4096];
            const ssize_t n = ::read(fd, probe, sizeof probe);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                fail(errno);
            }
            if (n == 0) {
                break;
            }
            bytes.append(probe, static_cast<std::size_t>(n)); // the file grew since fstat
            have = bytes.size();
            continue;
        }
        const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            fail(errno);
        }
        if (n == 0) {
            break; // the file shrank since fstat
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

void TTextStream::Reserve(std::size_t more) {
    m_text.reserve(m_text.size() + more);
    AdviseHugePages(m_text.data() + m_text.size(), m_text.capacity() - m_text.size());
}

void DecodeFile::StreamToBase64(TMemoryStream& Source, TTextStream& Target) {
    alignas(64) std::array<char, kBlockChars> out;

    // The text's size is known from the data's: make room once.
    const std::size_t bytes = Source.Size() - Source.Position();
    Target.Reserve(bytes / Base64::kLineBytes * (Base64::kLineChars + 2) +
                   Base64::EncodedSize(bytes % Base64::kLineBytes));

    std::span<const std::uint8_t> block = Source.Read(kBlockBytes);
    while (block.size() == kBlockBytes) {
        Base64::EncodeLinesCrLf(block.data(), 192, out.data());
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
    Base64::EncodeLinesCrLf(block.data(), lines, out.data());
    Base64::EncodeGroups(block.data() + lines * Base64::kLineBytes, rest,
                         out.data() + lines * (Base64::kLineChars + 2));
    const std::size_t keep = Base64::EncodedSize(n) + 2 * ((n - 1) / Base64::kLineBytes);
    Target.Write({out.data(), keep});
}
