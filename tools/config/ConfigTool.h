// What tavlin-config's parts share.
#pragma once

#include <string>

// The folder with a '/' at its end.
std::string FolderWithSlash(std::string folder);
// Replaces a whole file; on failure says which file and the system's reason
// on standard error.
bool WriteWholeFile(const std::string& path, const std::string& content);
// Writes (on) or removes (off) the autostart entry: every user's when run as
// root, else this user's. Returns the exit status.
int Autostart(bool on);
