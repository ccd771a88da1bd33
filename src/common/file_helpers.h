#pragma once

#include <string>

namespace kolbi {

// True when the length of the file at path can be read.
bool FileExists(const std::string& path);

// True when the attributes of the path (file or folder) can be read.
bool PathExists(const std::string& path);

// Moves a file, to another file system too: a rename where it can; across
// file systems (EXDEV) a copy synced to the disk, then the source removed.
// When the copy cannot be made whole or the source cannot be removed, the
// copy is removed again and the file stays where it was: false.
bool MoveFile(const std::string& from, const std::string& to);

// Disposes of a file: deletes it, and only when that fails moves it under its
// own name into the FAILED folder of AppFolder(), wherever that is mounted. A
// failing move is ignored and nothing is reported either way; FAILED is never
// created here, so an operator who wants undeletable files kept creates it.
void DeleteOrMoveToFailed(const std::string& path);

// The program's own folder (that of /proc/self/exe), always ending in "/".
const std::string& AppFolder();

// The executable's file name without folder and extension ("kolbipump").
const std::string& ExecutableName();

// Lets tests put the program's folder and name where they want them.
void SetAppFolderForTesting(const std::string& folder, const std::string& executable_name);

// The path with "/" appended when it does not already end in one.
std::string WithTrailingSlash(const std::string& path);

}  // namespace kolbi
