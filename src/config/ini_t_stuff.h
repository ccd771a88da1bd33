#pragma once

#include <string>

#include "common/pump_settings.h"
#include "ui/form1.h"

namespace kolbi {

// The start of processing's configuration step: reads KolbiPumps.ini from the
// program's folder into Settings(), checks the incoming folder, points the
// window's listings at the incoming folder and its "incoming" subfolder
// (created when missing) and shows the number of decompressed reports
// waiting. Resets form.RefreshTicks and form.StopRequested.
//
// A missing incoming folder ends the program (exit status 1) after its line
// in the error log, logging forced on (when the log cannot be written, the
// line goes to the system log instead); in visible mode a message box comes
// first. Any other failure is reported ("in procedure IniTStuff of Feuille
// Form1") and the next step follows.
void IniTStuff(Form1& form);

// The folder lfLog lists for the incoming folder lfLogCode lists.
std::string DecompressedFolderOf(const std::string& incoming_folder);

}  // namespace kolbi
