// Where a run of Tavlin writes: its daily log and its temporary photo.
//
// A copy whose program folder its user may write (a portable copy) writes
// there, as it always has: <program folder>LogFiles/ and the photo beside the
// program. An installed copy, whose program folder only root may change,
// writes into the places of the user who runs it:
//   the log    $XDG_STATE_HOME/tavlin/LogFiles/ (~/.local/state/tavlin/LogFiles/
//              by default), same file names, same format;
//   the photo  $XDG_RUNTIME_DIR/tavlin/ (mode 0700), or without a runtime
//              folder a private folder made under $TMPDIR or /tmp; removed
//              when Tavlin ends.
// The choice is made once, at start, and holds for the whole run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace StatePlaces {

// The variables the choice depends on, as the process has them (empty: unset).
struct Environment {
    std::string home;
    std::string stateHome;  // XDG_STATE_HOME
    std::string runtimeDir; // XDG_RUNTIME_DIR
    std::string tmpDir;     // TMPDIR
    static Environment FromProcess();
};

// The user's log folder (with a trailing '/'): under XDG_STATE_HOME when it
// is an absolute path, else under HOME; empty when neither is known.
std::string UserLogFolder(const Environment& env);

struct Places {
    bool portable = true;
    std::string logFolder;             // with a trailing '/'; empty: nowhere
    std::string photoFolder;           // with a trailing '/'
    bool photoFolderIsPrivate = false; // made by MakePhotoFolder, removed at the run's end
};

// The places for a program folder, from whether its user may write there.
// For an installed copy the photo folder is the runtime folder's "tavlin/";
// without a usable runtime folder it is left empty, for Prepare to make.
Places Choose(const std::string& appPath, bool programFolderWritable, const Environment& env);

// Whether a program folder is a portable copy's: one the current user owns
// and may write, and no other user may (a folder the PC's users share, or
// another user's, is not: its log and photo go to the user's own places).
bool IsPortableFolder(const std::string& folder);

// Makes an installed copy's log folder with its missing parents (mode 0700).
// Nothing is said here when it fails: the log says so itself, once, with the
// system's reason, when an entry cannot be written.
void MakeLogFolder(const Places& places);

// Makes an installed copy's private photo folder (mode 0700, owned by this
// user; under the temporary folder when there is no usable runtime folder).
// Run only by the copy that holds the instance lock, since the folder goes at
// its end. Returns why it could not be made, or an empty text; the folder
// stays chosen, so that writing the photo then fails with the system's reason.
std::string MakePhotoFolder(Places& places, const Environment& env);

// The photo file's name in the photo folder.
inline constexpr std::string_view kPhotoFileName = "USB_Temp.jpg";

// Removes the run's photo, the officer's alone: the private photo folder with
// what Tavlin wrote into it, or, in a folder not made for the run (a portable
// copy's program folder), the photo file and its unfinished part.
void RemovePhotos(const Places& places);

// The folders a reader of the log looks in for a program folder: its
// LogFiles and the user's log folder, each once.
std::vector<std::string> LogFolders(const std::string& appPath, const Environment& env);

} // namespace StatePlaces
