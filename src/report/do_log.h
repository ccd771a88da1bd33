#pragma once

#include "report/report_window.h"

namespace kolbi {

// One pass over the decompressed reports that form.lfLog lists, in name
// order: for each, the workstation record, the report's lines, the catalogue
// and ODBC inventory of each line, then the links of the workstation
// (SaveNewPoste for a workstation without stored products, CompareProdList
// otherwise). Each report file is disposed of before its lines reach the
// database. A report whose workstation id cannot be read has no database work
// beyond the workstation step. Timer1 is held off during the pass and enabled
// at its normal end.
//
// A failure is reported "in procedure Do_Log of Feuille Form1" and the pass
// goes on with the next action, unless the date format has been switched:
// then it returns at once, Timer1 still disabled. A report that is still HE3
// ends the pass the same way, without a log line.
void Do_Log(ReportWindow& form);

}  // namespace kolbi
