#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/runtime_error.h"

namespace kolbi {

// True when the length of the file at path can be read.
bool FileExists(const std::string& path);

// True when the attributes of the path (file or folder) can be read.
bool PathExists(const std::string& path);

// Moves a file, to another file system too, never over something already at
// `to` (false, errno EEXIST): a rename where it can; across file systems
// (EXDEV) a copy synced to the disk (a link copied as a link), then the
// source removed. When the copy cannot be made whole or the source cannot be
// removed, the copy is removed again and the file stays where it was: false,
// errno saying why.
bool MoveFile(const std::string& from, const std::string& to);

// Sets a file aside: moves it (a link as the link itself, never what it
// points at) into the FAILED folder of AppFolder(), wherever that is mounted,
// under its own name, or with a number added before its extension when FAILED
// already holds one of that name, so nothing set aside earlier is replaced.
// FAILED is created when missing, readable by the service's group only,
// since it holds what the pump sets aside; a FAILED that is a link is not
// used. Nothing when the file was moved, else why it was not.
std::optional<std::string> MoveToFailed(const std::string& path);

// Sets a file aside into FAILED (MoveToFailed) and gives the failure to
// report for it: `why`'s number, its description and where the file went,
// or why it stayed where it is. `moved` says which.
RuntimeError SetAside(const std::string& path, const RuntimeError& why, bool& moved);

// Disposes of a file the pump is done with: deletes it, and only when that
// fails moves it into FAILED (MoveToFailed). True when the file has left its
// place either way; false when it is still there, which the caller reports.
bool DeleteOrMoveToFailed(const std::string& path);

// DeleteOrMoveToFailed, raising 75 "Path/File access error" when the file
// can be neither deleted nor set aside; `then` says what becomes of it.
void DisposeOf(const std::string& path, std::string_view then);

// A file to put in a folder with PublishFilesDurably, and how that went.
struct Publication {
    std::string name;  // in the folder
    std::string bytes;
    enum class Outcome {
        kPublished,  // the whole file is there, on the disk
        kTwinWaits,  // a file of that name was there already: nothing written
        kFailed,     // nothing of it is there; error says why
    };
    Outcome outcome = Outcome::kFailed;
    std::optional<RuntimeError> error;
};

// Puts each file in the folder under its name, which must not exist yet, so
// that a crash or a full disk at any moment leaves either no file or the
// whole one: the bytes go to hidden temporary files of the folder, the file
// system is synced, each is renamed to its name (never over a file already
// there), and the folder is synced. Two waits for the disk however many
// files there are, instead of two each. On failure a temporary file is
// removed again and the error says why (61 "Disk full" when the disk is full).
void PublishFilesDurably(const std::string& folder, std::vector<Publication>& files);

// The same for one file: false, with nothing written, when `path` exists;
// a RuntimeError when it cannot be published.
bool PublishFileDurably(const std::string& path, std::string_view bytes);

// True for the hidden temporary files PublishFileDurably writes; a pump that
// holds a folder removes those a crashed one left.
bool IsDurableTemporaryName(const std::string& name);

// The run-time error for a file operation that failed with errno `error`:
// 53 "File not found", 70 "Permission denied", 61 "Disk full", or 75
// "Path/File access error", each naming the path and the system's reason.
RuntimeError FileError(int error, const std::string& path);

// The program's folder, always ending in "/": the folder $KOLBI_PUMP_FOLDER
// names when it is set and not empty (a relative one taken from the working
// folder at the first call), else that of /proc/self/exe.
const std::string& AppFolder();

// The executable's file name without folder and extension ("kolbipump").
const std::string& ExecutableName();

// Lets tests put the program's folder and name where they want them.
void SetAppFolderForTesting(const std::string& folder, const std::string& executable_name);

// The path with "/" appended when it does not already end in one.
std::string WithTrailingSlash(const std::string& path);

}  // namespace kolbi
