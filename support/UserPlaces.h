// The places of the user who runs Tavlin, found and taken one way for every
// part of the program: the home folder, and private folders (the log's, the
// photo's, the instance lock's) that nobody else may enter.
#pragma once

#include <string>

namespace UserPlaces {

// The home folder: HOME when it is set and not empty, else the home of the
// effective user's entry; empty when neither is known.
std::string Home();

// Makes folder (mode 0700) unless it exists, and takes it only as a real
// folder, not a link, of the effective user, which nobody else may enter: one
// that others may enter is tightened to 0700. False otherwise, with errno
// saying why: ELOOP for a link, ENOTDIR, EPERM for another user's, or the
// system's own reason. A trailing '/' is allowed.
bool TakePrivateFolder(const std::string& folder);

} // namespace UserPlaces
