#include "StatePlaces.h"

#include "UserPlaces.h"

#include "DailyLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace StatePlaces {
namespace {

constexpr const char* kFolderName = "tavlin";

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// Makes folder and its missing parents, the new ones with mode.
bool MakeFolders(const std::string& folder, mode_t mode, std::string& reason) {
    std::string path;
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = folder.find('/', at + 1);
        path = folder.substr(0, at);
        if (path.empty() || path == "/") {
            continue;
        }
        if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
            reason = path + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = folder + ": not a folder";
        return false;
    }
    return true;
}

// Makes the private folder, or takes it over when a run before left it:
// only a real folder of this user, which nobody else may enter.
bool MakePrivateFolder(const std::string& folder, std::string& reason) {
    if (UserPlaces::TakePrivateFolder(folder)) {
        return true;
    }
    const bool notOwn = errno == ELOOP || errno == ENOTDIR || errno == EPERM;
    reason = folder.substr(0, folder.find_last_not_of('/') + 1) + ": " +
             (notOwn ? std::string("not a folder of this user") : std::strerror(errno));
    return false;
}

} // namespace

Environment Environment::FromProcess() {
    return {UserPlaces::Home(), Variable("XDG_STATE_HOME"), Variable("XDG_RUNTIME_DIR"),
            Variable("TMPDIR")};
}

std::string UserLogFolder(const Environment& env) {
    std::string state;
    if (IsAbsolute(env.stateHome)) {
        state = WithSlash(env.stateHome);
    } else if (IsAbsolute(env.home)) {
        state = WithSlash(env.home) + ".local/state/";
    } else {
        return {};
    }
    return state + kFolderName + "/" + std::string(DailyLog::kFolder) + "/";
}

Places Choose(const std::string& appPath, bool programFolderWritable, const Environment& env) {
    Places places;
    if (programFolderWritable) {
        places.portable = true;
        places.logFolder = DailyLog::FolderOf(appPath);
        places.photoFolder = appPath;
        return places;
    }
    places.portable = false;
    places.logFolder = UserLogFolder(env);
    if (IsAbsolute(env.runtimeDir)) {
        places.photoFolder = WithSlash(env.runtimeDir) + kFolderName + "/";
    }
    return places;
}

bool IsPortableFolder(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0 &&
           ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0022) == 0;
}

void MakeLogFolder(const Places& places) {
    std::string ignored;
    if (!places.portable && !places.logFolder.empty()) {
        MakeFolders(places.logFolder, 0700, ignored);
    }
}

std::string MakePhotoFolder(Places& places, const Environment& env) {
    if (places.portable) {
        return {};
    }
    std::string reason;
    if (!places.photoFolder.empty() && MakePrivateFolder(places.photoFolder, reason)) {
        places.photoFolderIsPrivate = true;
        return {};
    }
    // No usable runtime folder: a private folder of its own under the
    // temporary folder.
    const std::string tmp = IsAbsolute(env.tmpDir) ? WithSlash(env.tmpDir) : std::string("/tmp/");
    const std::string name = tmp + kFolderName + "-XXXXXX";
    std::string pattern = name;
    if (::mkdtemp(pattern.data()) != nullptr) {
        places.photoFolder = pattern + "/";
        places.photoFolderIsPrivate = true;
        return {};
    }
    if (places.photoFolder.empty()) {
        // A folder that is not there, never the shared temporary folder itself:
        // writing the photo then fails and says why.
        reason = name + ": " + std::strerror(errno);
        places.photoFolder = name + "/";
    }
    places.photoFolderIsPrivate = false; // not made here: never removed
    return "the photo folder cannot be made: " + reason;
}

void RemovePhotos(const Places& places) {
    if (places.photoFolder.empty()) {
        return;
    }
    std::error_code ignored;
    if (places.photoFolderIsPrivate) {
        std::filesystem::remove_all(places.photoFolder, ignored);
        return;
    }
    const std::string photo = places.photoFolder + std::string(kPhotoFileName);
    std::filesystem::remove(photo, ignored);
    std::filesystem::remove(photo + ".part", ignored);
}

std::vector<std::string> LogFolders(const std::string& appPath, const Environment& env) {
    std::vector<std::string> folders;
    if (!appPath.empty()) {
        folders.push_back(DailyLog::FolderOf(appPath));
    }
    const std::string user = UserLogFolder(env);
    if (!user.empty() && (folders.empty() || folders.front() != user)) {
        folders.push_back(user);
    }
    return folders;
}

} // namespace StatePlaces
