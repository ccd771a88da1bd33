#include "pumpcheck/setup_checks.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/folder_file_list.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "config/ini_file.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/schema_version.h"

namespace kolbi {
namespace {

[[noreturn]] void Fail(const std::string& reason) {
    throw RuntimeError(errnum::kPathFileAccessError, reason);
}

std::string Blank(const std::string& value) {
    return value.find_first_not_of(' ') == std::string::npos ? "" : value;
}

std::string Reason(int error) { return error ? std::strerror(error) : "unknown reason"; }

// The pump reads the INI again at every start of processing, and a file that
// is there but cannot be read ends it; a missing one is read as empty values,
// which would be reported as a missing folder, far from the cause.
void CheckIni(const std::string& ini) {
    if (!Fs().PathExists(ini)) Fail("configuration file " + ini + " is not there");
    if (!Fs().FileLength(ini)) Fail("configuration file " + ini + " is not a regular file");
    errno = 0;
    if (!Fs().ReadFile(ini))
        Fail("configuration file " + ini + " cannot be read: " + Reason(errno));
}

void ReadSettings(PumpSettings& s) {
    s.DsnEntry = INIRead("DataBase", "DsnEntry", s.IniFile);
    s.SQLSERVER = INIRead("DataBase", "SQLSERVER", s.IniFile);
    s.SQLUser = INIRead("DataBase", "SQLUser", s.IniFile);
    s.SQLPass = INIRead("DataBase", "SQLPass", s.IniFile);
    s.Database = INIRead("DataBase", "Database", s.IniFile);
    s.incomingFilesPath = INIRead("SoftInventory", "incomingFilesPath", s.IniFile);
    if (Blank(s.DsnEntry).empty() && Blank(s.SQLSERVER).empty()) {
        Fail(s.IniFile + " names no data source: [DataBase] DsnEntry is empty or missing");
    }
    if (s.incomingFilesPath.empty()) {
        Fail(s.IniFile +
             " names no incoming folder: [SoftInventory] incomingFilesPath is empty "
             "or missing");
    }
}

// Writes and removes a hidden file, which no listing of the pump shows: the
// only sure test that the folder takes files (a read-only mount, an ACL).
void CheckWritable(const std::string& folder, const std::string& what) {
    const std::string probe =
        WithTrailingSlash(folder) + ".kolbipump-check-" + std::to_string(::getpid());
    (void)Fs().Remove(probe);
    errno = 0;
    if (!Fs().WriteNewFile(probe, "")) {
        const int error = errno;
        (void)Fs().Remove(probe);
        Fail(what + " " + folder + " cannot be written: " + Reason(error));
    }
    (void)Fs().Remove(probe);
}

void CheckFolder(const std::string& folder, const std::string& what) {
    if (!Fs().PathExists(folder)) Fail(what + " " + folder + " is not there");
    if (!Fs().IsFolder(folder)) Fail(what + " " + folder + " is not a folder");
    errno = 0;
    if (!Fs().ListFiles(folder)) Fail(what + " " + folder + " cannot be listed: " + Reason(errno));
    CheckWritable(folder, what);
}

void CheckFolders(const PumpSettings& s, SetupFacts& facts) {
    const std::string incoming = WithTrailingSlash(s.incomingFilesPath);
    CheckFolder(s.incomingFilesPath, "incoming folder");
    // The pump makes the subfolder when it is missing, but never uses one
    // that is a link or no folder.
    const std::string decompressed = incoming + kDecompressedSubfolder;
    if (Fs().IsLink(decompressed)) {
        Fail("decompressed folder " + decompressed +
             " is a symbolic link, not a folder of the "
             "pump's");
    }
    if (Fs().PathExists(decompressed)) CheckFolder(decompressed, "decompressed folder");
    CheckWritable(s.AppFolder, "program folder (error log, FAILED)");

    FolderFileList compressed("*.SILog");
    compressed.SetPath(incoming);
    facts.incoming_folder = s.incomingFilesPath;
    facts.compressed_waiting = compressed.ListCount();
    if (Fs().IsFolder(decompressed)) {
        FolderFileList waiting("*.SILog");
        waiting.SetPath(decompressed);
        facts.decompressed_waiting = waiting.ListCount();
    }
}

void CheckDatabase(const PumpSettings& s, SetupFacts& facts) {
    const bool dsn = !Blank(s.DsnEntry).empty();
    facts.data_source = dsn ? "data source " + s.DsnEntry : "server " + s.SQLSERVER;
    Connection connection;
    connection.SetConnectionString(BuildConnectionString(s));
    try {
        connection.Open();
    } catch (const RuntimeError& error) {
        // The description names the connection string with its password hidden.
        Fail(facts.data_source + " cannot be reached: " + error.description());
    }
    facts.dbms = connection.DbmsName();
    std::optional<std::string> behind;
    try {
        behind = SchemaNotCurrent(connection);
    } catch (const RuntimeError& error) {
        Fail("the schema of " + facts.data_source + " cannot be checked: " + error.description());
    }
    if (behind) Fail("the schema of " + facts.data_source + " is not current: " + *behind);
    connection.Close();
}

}  // namespace

SetupFacts CheckSetup(const std::string& program_folder) {
    PumpSettings& s = Settings();
    s.AppFolder = WithTrailingSlash(program_folder);
    s.IniFile = s.AppFolder + kIniFileName;
    SetupFacts facts;
    facts.ini_file = s.IniFile;
    CheckIni(s.IniFile);
    ReadSettings(s);
    CheckFolders(s, facts);
    CheckDatabase(s, facts);
    return facts;
}

}  // namespace kolbi
