#pragma once

#include <chrono>
#include <string>

namespace kolbi {

// The process-wide settings record, filled from KolbiPumps.ini at every start
// of processing. Strings hold the file's bytes as they were read (no trimming).
struct PumpSettings {
    std::string DsnEntry;
    std::string SQLSERVER;
    std::string SQLUser;
    std::string SQLPass;
    std::string Database;
    std::string SqlDateFormat;
    std::string Refresh;
    std::string incomingFilesPath;
    std::string SettleSeconds;   // how long an incomplete report may still be written
    std::string MetricsFile;     // where each cycle writes its metrics; "" for nowhere
    std::string AppFolder;       // the program's folder, ending in "/"
    std::string IniFile;         // AppFolder + "KolbiPumps.ini"
    std::string IncomingFolder;  // incomingFilesPath ending in "/"
    bool LogErrors = false;
};

// The one settings record of the process.
PumpSettings& Settings();

// The subfolder of the incoming folder that holds the decompressed reports.
inline constexpr const char* kDecompressedSubfolder = "incoming";

// Settings().IncomingFolder + "incoming/": where the decompressed reports wait.
std::string DecompressedFolder();

// How long after its last change a compressed report that is not complete
// may still be an agent's file in the writing: SettleSeconds as a whole
// number of seconds, 600 (ten minutes) when blank or not a number.
std::chrono::seconds SettleTime();

}  // namespace kolbi
