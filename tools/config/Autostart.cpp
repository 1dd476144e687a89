// tavlin-config autostart: the desktop entry that starts Tavlin at login.
#include "ConfigTool.h"
#include "SysOper.h"
#include "UserPlaces.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// The autostart entry's file: every user's when run as root, else this user's.
std::string AutostartEntryPath() {
    constexpr const char* kEntry = "org.tavlin.Tavlin.desktop";
    if (::geteuid() == 0) {
        // The first system configuration folder (XDG_CONFIG_DIRS, /etc/xdg by default).
        std::string dirs =
            std::getenv("XDG_CONFIG_DIRS") != nullptr ? std::getenv("XDG_CONFIG_DIRS") : "";
        dirs = dirs.substr(0, dirs.find(':'));
        return FolderWithSlash(dirs.empty() || dirs[0] != '/' ? "/etc/xdg" : dirs) + "autostart/" +
               kEntry;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return FolderWithSlash(config) + "autostart/" + kEntry;
    }
    if (const std::string home = UserPlaces::Home(); !home.empty() && home[0] == '/') {
        return FolderWithSlash(home) + ".config/autostart/" + kEntry;
    }
    return {};
}

} // namespace

int Autostart(bool on) {
    const std::string path = AutostartEntryPath();
    if (path.empty()) {
        std::fputs(
            "tavlin-config: neither XDG_CONFIG_HOME nor a home folder is known: no place for the "
            "autostart entry\n",
            stderr);
        return 1;
    }
    const char* whom = ::geteuid() == 0 ? "every user logs" : "you log";
    if (!on) {
        if (::unlink(path.c_str()) != 0) {
            if (errno == ENOENT) {
                std::printf("autostart was off: there is no %s\n", path.c_str());
                return 0;
            }
            std::fprintf(stderr, "tavlin-config: cannot remove %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return 1;
        }
        std::printf("autostart off: removed %s\n", path.c_str());
        return 0;
    }
    // The program beside this tool: /usr/lib/tavlin/tavlin for the package.
    const std::string program = TSysOper::GetAppPath() + "tavlin";
    if (::access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "tavlin-config: there is no program %s to start: %s\n",
                     program.c_str(), std::strerror(errno));
        return 1;
    }
    std::error_code error;
    const std::string folder = path.substr(0, path.rfind('/'));
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "tavlin-config: cannot create %s: %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Tavlin\n"
                              "Name[zh_CN]=企业监督检查系统\n"
                              "Comment=Starts Tavlin at login (tavlin-config autostart)\n"
                              // Once Tavlin is removed, the entry does nothing.
                              "TryExec=" +
                              program +
                              "\n"
                              "Exec=" +
                              program +
                              "\n"
                              "Icon=org.tavlin.Tavlin\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    if (!WriteWholeFile(path, entry)) {
        return 1;
    }
    std::printf("autostart on: wrote %s; Tavlin starts when %s in\n", path.c_str(), whom);
    return 0;
}
