// Helpers shared by the unit tests.
#pragma once

#include "SysOper.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavlin-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as the program folder is given: with its trailing '/'.
    std::string folder() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The C++ files (.cpp and .h) under the given folders of the source tree,
// each with its text: for the tests that hold the code to a rule.
inline std::vector<std::pair<std::filesystem::path, std::string>>
Sources(std::initializer_list<const char*> folders) {
    std::vector<std::pair<std::filesystem::path, std::string>> sources;
    for (const char* folder : folders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(
                 std::filesystem::path(TAVLIN_SOURCE_DIR) / folder)) {
            const auto extension = entry.path().extension();
            if (extension == ".cpp" || extension == ".h") {
                sources.emplace_back(entry.path(), ReadAll(entry.path()));
            }
        }
    }
    return sources;
}

// The daily log of this test process: a folder of its own, set before any
// test runs, so that tests running side by side never share a log.
class ProcessLog {
public:
    ProcessLog() { TSysOper::SetLogFolder((m_dir.path() / "LogFiles").string() + "/"); }
    std::filesystem::path folder() const { return m_dir.path() / "LogFiles"; }

private:
    TempDir m_dir;
};
inline const ProcessLog g_processLog;

// Runs a shell command and returns what it printed on standard output;
// exitCode receives its exit status.
inline std::string RunCommand(const std::string& command, int& exitCode) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        exitCode = -1;
        return output;
    }
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// The environment of a zh_CN.GB18030 terminal, from a locale compiled into a
// folder of this process's own (the system's list of locales is untouched):
// "LOCPATH=... LC_ALL=zh_CN.GB18030 " to put before a command; empty when
// localedef could not make it.
inline std::string Gb18030Terminal() {
    static const TempDir folder;
    static const std::string environment = [] {
        const std::string locale = (folder.path() / "zh_CN.GB18030").string();
        int code = -1;
        RunCommand("localedef -i zh_CN -f GB18030 '" + locale + "' >/dev/null 2>&1; echo", code);
        if (!std::filesystem::exists(locale)) {
            return std::string();
        }
        return "LOCPATH='" + folder.path().string() + "' LC_ALL=zh_CN.GB18030 ";
    }();
    return environment;
}

// The bytes of a string of hexadecimal digits.
inline std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

inline std::string ToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 0xF]);
    }
    return hex;
}

} // namespace testsupport
