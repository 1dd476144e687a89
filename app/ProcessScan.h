// Finding and ending the hotel-industry program among the running processes.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ProcessScan {

// The hotel-industry program's executable-name prefix, compared in upper case.
inline constexpr std::string_view kHotelPrefix = "QORM_HOTEL_MAIN";

struct Process {
    pid_t pid = 0;
    std::string name; // the executable's name or path, as the process was started
};

// Whether a process name is the hotel-industry program's: the file-name part
// of the name (after its last '\' or ':'), or failing that the whole name,
// begins with the prefix, ASCII letters compared without regard to case. A
// name shorter than the prefix never matches.
bool IsHotelProgramName(std::string_view name);

// The running processes other than this one, from /proc: the name is argv[0]
// after its last '/' (for a Windows program under Wine, its .exe path), or the
// kernel's command name when the command line is empty.
std::vector<Process> RunningProcesses();

// The first process of the list whose name is the hotel-industry program's.
const Process* FindHotelProgram(const std::vector<Process>& processes);

// Asks the process to end (SIGTERM), then forces it (SIGKILL) if it is still
// there after `grace`. The outcome is not reported.
void EndProcess(pid_t pid, std::chrono::milliseconds grace = std::chrono::seconds(3));

} // namespace ProcessScan
