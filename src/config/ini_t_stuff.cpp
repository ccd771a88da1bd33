#include "config/ini_t_stuff.h"

#include <algorithm>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/pump_settings.h"
#include "common/status_text.h"
#include "config/ini_file.h"
#include "log/procedure.h"
#include "log/write_log.h"
#include "ui/message_box.h"

namespace kolbi {
namespace {

constexpr const char* kIniTStuffLocation = "in procedure IniTStuff of Feuille Form1";

bool ContainsY(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return value.find('y') != std::string::npos;
}

// The decompressed folder is the pump's own business: it makes it when the
// incoming folder is there and the subfolder is not.
void CreateDecompressedFolder(const std::string& incoming_folder, const std::string& folder) {
    if (!incoming_folder.empty() && Fs().IsFolder(incoming_folder) && !Fs().PathExists(folder)) {
        (void)Fs().CreateFolder(folder);
    }
}

}  // namespace

std::string DecompressedFolderOf(const std::string& incoming_folder) {
    return incoming_folder.empty() ? kDecompressedSubfolder
                                   : WithTrailingSlash(incoming_folder) + kDecompressedSubfolder;
}

void IniTStuff(Form1& form) {
    Procedure proc(kIniTStuffLocation, AfterReport::kContinue);
    PumpSettings& s = Settings();

    proc.Run([&] { form.RefreshTicks = 0; });
    proc.Run([&] { form.StopRequested = false; });
    proc.Run([&] { form.NewHuffman(); });
    proc.Run([&] { form.lfLog.SetPattern("*.SILog"); });
    proc.Run([&] { form.lfLogCode.SetPattern("*.SILog"); });
    proc.Run([&] { s.DsnEntry = ""; });
    proc.Run([&] { s.SqlDateFormat = "DD-MM-YYYY"; });
    proc.Run([&] { s.AppFolder = WithTrailingSlash(AppFolder()); });
    proc.Run([&] { s.IniFile = s.AppFolder + kIniFileName; });
    proc.Run([&] { SetStatusText("Lecture du fichier INI " + s.IniFile); });

    proc.Run([&] { s.DsnEntry = INIRead("DataBase", "DsnEntry", s.IniFile); });
    proc.Run([&] { s.SQLSERVER = INIRead("DataBase", "SQLSERVER", s.IniFile); });
    proc.Run([&] { s.SQLUser = INIRead("DataBase", "SQLUser", s.IniFile); });
    proc.Run([&] { s.SQLPass = INIRead("DataBase", "SQLPass", s.IniFile); });
    proc.Run([&] { s.Database = INIRead("DataBase", "Database", s.IniFile); });
    proc.Run([&] { s.SqlDateFormat = INIRead("DataBase", "SqlDateFormat", s.IniFile); });
    proc.Run([&] { s.Refresh = INIRead("SoftInventory", "Refresh", s.IniFile); });
    proc.Run([&] { s.SettleSeconds = INIRead("SoftInventory", "SettleSeconds", s.IniFile); });
    proc.Run([&] { s.MetricsFile = INIRead("SoftInventory", "MetricsFile", s.IniFile); });
    proc.Run(
        [&] { s.incomingFilesPath = INIRead("SoftInventory", "incomingFilesPath", s.IniFile); });

    // A check that fails to run counts as a missing folder.
    bool found = false;
    proc.Run([&] { found = PathExists(s.incomingFilesPath); });
    if (!found) {
        const std::string text =
            "Incoming Files Path " + s.incomingFilesPath + " not found or invalid !";
        proc.Run([&] {
            if (form.Visible)
                MsgBox(text, MsgBoxStyle::kCritical, "DAVO Pump initialization error");
        });
        proc.Run([&] { s.LogErrors = true; });
        proc.Run([&] { WriteLog(text, kLevelError, 0, kIniTStuffLocation); });
        EndProgramAfterFailure();
    }

    proc.Run([&] { s.IncomingFolder = WithTrailingSlash(s.incomingFilesPath); });
    proc.Run([&] { s.LogErrors = ContainsY(INIRead("SoftInventory", "LogError", s.IniFile)); });
    proc.Run([&] { form.lfLogCode.SetPath(s.incomingFilesPath); });
    proc.Run([&] {
        std::string folder = DecompressedFolderOf(form.lfLogCode.Path());
        CreateDecompressedFolder(form.lfLogCode.Path(), folder);
        form.lfLog.SetPath(folder);
    });
    proc.Run([&] { form.lfLog.SetPattern("*.SILOG"); });
    proc.Run([&] { form.lfLog.Refresh(); });
    proc.Run([&] { SetStatusText(""); });
    proc.Run([&] {
        form.Label1 =
            std::to_string(form.lfLog.ListCount()) + " fichier(s) décompressé(s) en attente...";
    });
    proc.Run([&] { form.Repaint(); });
}

}  // namespace kolbi
