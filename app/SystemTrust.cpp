#include "SystemTrust.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nss.h>
#include <pk11pub.h>
#include <secmod.h>

#ifndef TAVLIN_P11KIT_TRUST
#define TAVLIN_P11KIT_TRUST "/usr/lib/x86_64-linux-gnu/pkcs11/p11-kit-trust.so"
#endif

namespace SystemTrust {

std::string UserDatabase(const std::string& home) {
    return home + (home.ends_with('/') ? "" : "/") + ".pki/nssdb";
}

bool ListsModule(std::string_view pkcs11Txt, std::string_view library) {
    // One "library=PATH" line per module; PATH as registered, unquoted.
    std::size_t begin = 0;
    while (begin < pkcs11Txt.size()) {
        std::size_t end = pkcs11Txt.find('\n', begin);
        if (end == std::string_view::npos) {
            end = pkcs11Txt.size();
        }
        std::string_view line = pkcs11Txt.substr(begin, end - begin);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with("library=") && line.substr(8) == library) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

std::string InstalledTrustModule() {
    return ::access(TAVLIN_P11KIT_TRUST, R_OK) == 0 ? std::string(TAVLIN_P11KIT_TRUST)
                                                    : std::string();
}

namespace {

// Makes folder (mode 0700) unless it exists; false with errno on failure.
bool MakeFolder(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// In the child: opens (or creates) the database and registers the module.
// The exit status says what failed: 0 done, 1 folder, 2 database, 3 module.
[[noreturn]] void Register(const std::string& home, const std::string& database,
                           const std::string& trustModule) {
    if (!MakeFolder(home + "/.pki") || !MakeFolder(database)) {
        ::_exit(1);
    }
    const std::string directory = "sql:" + database;
    if (NSS_InitReadWrite(directory.c_str()) != SECSuccess) {
        ::_exit(2);
    }
    const std::string name(kModuleName);
    const SECStatus added = SECMOD_AddNewModule(name.c_str(), trustModule.c_str(), 0, 0);
    NSS_Shutdown();
    ::_exit(added == SECSuccess ? 0 : 3);
}

} // namespace

std::string Offer(const std::string& home, const std::string& trustModule) {
    if (trustModule.empty()) {
        return "p11-kit's trust module is not installed (package p11-kit-modules): only "
               "the browser's built-in certificate authorities are trusted";
    }
    if (home.empty() || home.front() != '/') {
        return "no home folder (HOME): the system's certificate authorities are not offered "
               "to the browser";
    }
    const std::string database = UserDatabase(home);
    {
        std::ifstream list(database + "/pkcs11.txt", std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(list), {}};
        if (ListsModule(text, trustModule)) {
            return {};
        }
    }
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t child = ::fork();
    if (child < 0) {
        return std::string("cannot start the registration of the system's certificate "
                           "authorities: ") +
               std::strerror(errno);
    }
    if (child == 0) {
        Register(home, database, trustModule);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return {};
    }
    const char* what = !WIFEXITED(status)         ? "the registration ended abnormally"
                       : WEXITSTATUS(status) == 1 ? "its folder cannot be made"
                       : WEXITSTATUS(status) == 2 ? "it cannot be opened for writing"
                                                  : "NSS refused the module";
    return "the system's certificate authorities are not offered to the browser: " + database +
           ": " + what;
}

} // namespace SystemTrust
