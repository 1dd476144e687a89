// System operations of the support library: the program folder and the daily log.
#pragma once

#include <string>
#include <string_view>

class TSysOper {
public:
    TSysOper() = delete;

    // The folder of the running executable with its trailing '/', from
    // /proc/self/exe; the empty text when it cannot be found. Callers append
    // relative names directly ("InspectConfig/Config.ini", "LogFiles").
    static std::string GetAppPath();

    // Appends one entry for Message (code page text) to the day's log file
    // Inspect_yyyymmdd.txt in the log folder, enciphered when the message
    // mentions HTTP in any case. Never fails towards the caller: an entry that
    // cannot be written is lost, and the first such loss of the run is said
    // on standard error with the folder and the system's reason.
    static void WriteLog(std::string_view Message);

    // The folder of the daily log files: the program folder's "LogFiles"
    // unless another was set, once, at start (tests give each run its own).
    static void SetLogFolder(std::string folder);
    static std::string LogFolder();
};

// The full path of the running executable, from /proc/self/exe; empty when
// it cannot be read.
std::string ExecutablePath();

// Everything of Path up to and including its last '/'; empty when it has none.
std::string FolderOfPath(std::string_view Path);
