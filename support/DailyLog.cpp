#include "DailyLog.h"

#include "UserPlaces.h"

#include "Ascii.h"
#include "UniqueFd.h"

#include "QormdesLib.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace DailyLog {
namespace {

// Closes a descriptor on every path; closing also releases its lock.
using FileDescriptor = UniqueFd;

// Whether an open log file is a plain file of this user with no other name
// (a hard link would have the log append to another file); one others may
// read is tightened to 0600.
bool IsOwnFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        errno = EPERM;
        return false;
    }
    return (st.st_mode & 0077) == 0 || ::fchmod(fd, 0600) == 0;
}

bool LockWithin(int fd, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

std::string FileName(const std::tm& when) {
    char name[64];
    std::snprintf(name, sizeof name, "Inspect_%04d%02d%02d.txt", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday);
    return name;
}

std::string Timestamp(const std::tm& when) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return stamp;
}

bool MentionsHttp(std::string_view message) {
    return Ascii::ContainsIgnoringCase(message, "HTTP");
}

std::string FormatEntry(const std::tm& when, std::string_view message) {
    std::string entry = Timestamp(when);
    if (MentionsHttp(message)) {
        // The message itself is enciphered, not its upper-case copy.
        entry += kCipherMarker;
        entry += QormdesLib::EncryptToHex(std::string(message));
    } else {
        entry += kPlainMarker;
        entry += message;
    }
    return entry;
}

namespace {

// What must come before an entry appended to the file: nothing when the file
// is empty or ends its last line, else the rest of a line end.
std::string_view LineEndBefore(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size == 0) {
        return {};
    }
    char last = '\n';
    if (::pread(fd, &last, 1, st.st_size - 1) != 1 || last == '\n') {
        return {};
    }
    return last == '\r' ? "\n" : "\r\n";
}

} // namespace

bool Append(const std::string& appFolder, std::string_view message, const std::tm& when) {
    if (appFolder.empty()) {
        return false; // without the program folder there is no log folder to write in
    }
    return AppendToFolder(appFolder + std::string(kFolder), message, when);
}

bool AppendToFolder(const std::string& logFolder, std::string_view message, const std::tm& when) {
    try {
        if (logFolder.empty()) {
            return false;
        }
        std::string line = FormatEntry(when, message);
        line += "\r\n";

        // The folder is made only when the file cannot be opened for want of it.
        std::string folder = logFolder;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        const std::string path = folder + "/" + FileName(when);
        // The log is the officer's alone: its folder 0700 and its files 0600,
        // never written through a link, never in a folder or file of another
        // user (who could read it, or have it append to a file of theirs).
        if (!UserPlaces::TakePrivateFolder(folder)) {
            return false;
        }
        const FileDescriptor file(::open(
            path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
        if (file.get() < 0 || !IsOwnFile(file.get())) {
            return false;
        }
        // Read and write: the end of the file is read to close off a cut line.
        // Other programs may read the file meanwhile, but no other writer may append.
        if (!LockWithin(file.get(), kLockWait)) {
            return false;
        }
        // A cut (power, a kill) may have left a line without its end, or a tail of
        // zero bytes whose size reached the disk before the data did: the entry
        // then starts on a line of its own, and what is there stays as it is.
        line.insert(0, LineEndBefore(file.get()));
        ssize_t written;
        do {
            written = ::write(file.get(), line.data(), line.size());
        } while (written < 0 && errno == EINTR);
        if (written == static_cast<ssize_t>(line.size())) {
            return true;
        }
        if (written > 0) {
            // A full disk cut the line short: take back what went in (the lock keeps
            // other writers out, so the end is still ours).
            const off_t end = ::lseek(file.get(), 0, SEEK_END);
            if (end >= written) {
                [[maybe_unused]] const int rc = ::ftruncate(file.get(), end - written);
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace DailyLog
