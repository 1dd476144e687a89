// Replacing a file whole, so that a cut at any instant (power, a kill) leaves
// either the old file or the new one, never an empty or partial one.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace WholeFile {

// Writes content to a temporary file in the same folder, flushes it to the
// disk, gives it the old file's owner and mode (newMode for a new file, less
// the process's umask), renames it over path and flushes the folder. A path
// that is a symbolic link has the file it points to replaced. Returns the empty
// text on success, else which file and the system's reason; on failure the old
// file is untouched and no temporary file is left.
std::string Replace(const std::string& path, std::string_view content, mode_t newMode = 0644);

} // namespace WholeFile
