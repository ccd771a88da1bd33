#pragma once

#include "report/report_window.h"

namespace kolbi {

// One pass over the decompressed reports that form.lfLog lists, in name
// order, each taken once; the folder is read at the start of the pass and
// again only when that listing has run out, and a report gone meanwhile is
// skipped without a word. For each, the workstation record, the report's
// lines, the catalogue and ODBC inventory of each line, then the links of
// the workstation (SaveNewPoste for a workstation without stored products,
// CompareProdList otherwise). Each report file is read whole before its database work, which
// is one transaction, and disposed of only once that has committed: a report
// is either wholly in the database or still on disk. A report whose
// workstation id cannot be read has no database work beyond the workstation
// step and is set aside. Timer1 is held off during the pass and enabled at
// its normal end.
//
// A failure is reported "in procedure Do_Log of Feuille Form1" and the pass
// goes on with the next action, unless the date format has been switched:
// then it returns at once, Timer1 still disabled. A report that is still HE3
// is set aside in FAILED and ends the pass the same way. A report that
// cannot be read, committed or disposed of stays where it is and is not
// taken again in this pass; one without a workstation name, or that is a
// link, is set aside in FAILED, each with a line saying why.
//
// Nothing happens while another pump holds the incoming folder, or while the
// decompressed folder is a link.
void Do_Log(ReportWindow& form);

}  // namespace kolbi
