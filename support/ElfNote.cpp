#include "ElfNote.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ElfNote {
namespace {

// Note sections larger than this are not ours; they are passed over unread.
constexpr std::uint64_t kMaxNoteSection = 1 << 20;

class File {
public:
    explicit File(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

    bool isOpen() const { return m_fd.valid(); }
    std::uint64_t size() const {
        struct stat st {};
        return ::fstat(m_fd.get(), &st) == 0 && st.st_size > 0
                   ? static_cast<std::uint64_t>(st.st_size)
                   : 0;
    }
    // Reads exactly count bytes at offset, or fails.
    bool readAt(std::uint64_t offset, void* buffer, std::size_t count) const {
        auto* to = static_cast<char*>(buffer);
        while (count > 0) {
            const ssize_t n = ::pread(m_fd.get(), to, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            to += n;
            offset += static_cast<std::uint64_t>(n);
            count -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    UniqueFd m_fd;
};

// Reads unsigned integers of the file's byte order.
struct Decoder {
    bool bigEndian = false;
    std::uint64_t get(const unsigned char* p, std::size_t width) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = bigEndian ? i : width - 1 - i;
            v = (v << 8) | p[at];
        }
        return v;
    }
};

struct SectionHeader {
    std::uint64_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t align = 0;
};

// Looks for our note among the notes of one section's bytes.
bool FindInNotes(const std::vector<unsigned char>& notes, std::uint64_t align, const Decoder& d,
                 FileVersion& version) {
    const auto padded = [align](std::uint64_t n) { return (n + align - 1) / align * align; };
    std::uint64_t at = 0;
    while (notes.size() - at >= 12) {
        const std::uint64_t nameSize = d.get(&notes[at], 4);
        const std::uint64_t descSize = d.get(&notes[at + 4], 4);
        const std::uint64_t type = d.get(&notes[at + 8], 4);
        const std::uint64_t nameAt = at + 12;
        const std::uint64_t descAt = nameAt + padded(nameSize);
        const std::uint64_t next = descAt + padded(descSize);
        if (descAt > notes.size() || next > notes.size()) {
            return false; // a note that claims more than the section holds ends the search
        }
        const bool ourName = nameSize == kName.size() + 1 &&
                             std::memcmp(&notes[nameAt], kName.data(), kName.size()) == 0 &&
                             notes[nameAt + kName.size()] == '\0';
        if (ourName && type == kType && descSize == 8) {
            version.ms = static_cast<std::uint32_t>(d.get(&notes[descAt], 4));
            version.ls = static_cast<std::uint32_t>(d.get(&notes[descAt + 4], 4));
            return true;
        }
        at = next;
    }
    return false;
}

} // namespace

ReadResult ReadVersion(const std::string& path) {
    ReadResult result;
    const File file(path);
    if (!file.isOpen()) {
        result.error = "Cannot open file \"" + path + "\". " + std::strerror(errno);
        return result;
    }
    const std::uint64_t fileSize = file.size();

    unsigned char ident[EI_NIDENT];
    if (!file.readAt(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        (ident[EI_CLASS] != ELFCLASS32 && ident[EI_CLASS] != ELFCLASS64) ||
        (ident[EI_DATA] != ELFDATA2LSB && ident[EI_DATA] != ELFDATA2MSB)) {
        result.error = "\"" + path + "\" is not an executable file";
        return result;
    }
    const bool is64 = ident[EI_CLASS] == ELFCLASS64;
    Decoder d;
    d.bigEndian = ident[EI_DATA] == ELFDATA2MSB;

    // Where the section headers are, from the file header.
    unsigned char header[sizeof(Elf64_Ehdr)];
    const std::size_t headerSize = is64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
    if (!file.readAt(0, header, headerSize)) {
        result.error = "\"" + path + "\" is not an executable file";
        return result;
    }
    const std::uint64_t shoff = is64 ? d.get(header + offsetof(Elf64_Ehdr, e_shoff), 8)
                                     : d.get(header + offsetof(Elf32_Ehdr, e_shoff), 4);
    const std::uint64_t shentsize = d.get(
        header + (is64 ? offsetof(Elf64_Ehdr, e_shentsize) : offsetof(Elf32_Ehdr, e_shentsize)), 2);
    const std::uint64_t shnum =
        d.get(header + (is64 ? offsetof(Elf64_Ehdr, e_shnum) : offsetof(Elf32_Ehdr, e_shnum)), 2);
    const std::size_t minEntry = is64 ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr);

    if (shnum > 0 && shentsize >= minEntry && shoff < fileSize &&
        shnum * shentsize <= fileSize - shoff) {
        for (std::uint64_t i = 0; i < shnum; ++i) {
            unsigned char raw[sizeof(Elf64_Shdr)];
            if (!file.readAt(shoff + i * shentsize, raw, minEntry)) {
                break;
            }
            SectionHeader sh;
            if (is64) {
                sh.type = d.get(raw + offsetof(Elf64_Shdr, sh_type), 4);
                sh.offset = d.get(raw + offsetof(Elf64_Shdr, sh_offset), 8);
                sh.size = d.get(raw + offsetof(Elf64_Shdr, sh_size), 8);
                sh.align = d.get(raw + offsetof(Elf64_Shdr, sh_addralign), 8);
            } else {
                sh.type = d.get(raw + offsetof(Elf32_Shdr, sh_type), 4);
                sh.offset = d.get(raw + offsetof(Elf32_Shdr, sh_offset), 4);
                sh.size = d.get(raw + offsetof(Elf32_Shdr, sh_size), 4);
                sh.align = d.get(raw + offsetof(Elf32_Shdr, sh_addralign), 4);
            }
            if (sh.type != SHT_NOTE || sh.size == 0 || sh.size > kMaxNoteSection ||
                sh.offset >= fileSize || sh.size > fileSize - sh.offset) {
                continue;
            }
            std::vector<unsigned char> notes(static_cast<std::size_t>(sh.size));
            if (!file.readAt(sh.offset, notes.data(), notes.size())) {
                continue;
            }
            if (FindInNotes(notes, sh.align == 8 ? 8 : 4, d, result.version)) {
                result.ok = true;
                return result;
            }
        }
    }
    result.error = "\"" + path + "\" carries no file version";
    return result;
}

std::string FormatVersion(const FileVersion& version) {
    return std::to_string(version.ms >> 16) + "." + std::to_string(version.ms & 0xFFFF) + "." +
           std::to_string(version.ls >> 16) + "." + std::to_string(version.ls & 0xFFFF);
}

} // namespace ElfNote
