#include "WholeFile.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace WholeFile {
namespace {

std::string Failure(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// The file a path names: a link is followed to its target, which is replaced.
std::string Target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string Replace(const std::string& path, std::string_view content, mode_t newMode) {
    const std::string target = Target(path);
    std::string temporary = target + ".XXXXXX";
    const UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        return Failure(path, errno);
    }
    // The new file takes the old one's owner and mode; a new one gets newMode
    // as the umask lets it (mkostemp itself makes 0600).
    struct stat old {};
    mode_t mode = 0;
    bool kept = true;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
        kept = ::fchown(file.get(), old.st_uid, old.st_gid) == 0 || errno == EPERM;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = newMode & ~mask;
    }
    const bool written = kept && ::fchmod(file.get(), mode) == 0 && WriteAll(file.get(), content) &&
                         ::fsync(file.get()) == 0 &&
                         ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failure(path, error);
    }
    // The rename itself reaches the disk with the folder's entry.
    const UniqueFd folder(::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        ::fsync(folder.get());
    }
    return {};
}

} // namespace WholeFile
