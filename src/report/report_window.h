#pragma once

#include <string>

#include "common/folder_file_list.h"
#include "common/list_box.h"
#include "reconcile/product_lists.h"

namespace kolbi {

// What the report pass needs of the main window: the work lists it fills and
// empties, the listing of the decompressed reports and the label that counts
// them, the processing timer it holds off while it runs, the redraw, and the
// safe point where a stop asked for meanwhile ends the program.
class ReportWindow : public ProductLists {
public:
    ListBox lstInFile;          // cleaned lines of the report being processed
    FolderFileList lfLog{"*.SILog"};  // decompressed reports waiting
    std::string Label1 = "Aucun fichier(s) d\u00E9compress\u00E9(s) en attente...";

    virtual void SetTimer1Enabled(bool enabled) = 0;
    // Shows the window's current state soon.
    virtual void Repaint() = 0;
    // Between two reports: a stop or quit that arrived meanwhile ends the
    // program here, never inside a report's database work.
    virtual void EndIfUnloadPending() = 0;

protected:
    ~ReportWindow() = default;
};

}  // namespace kolbi
