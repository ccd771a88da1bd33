#pragma once

#include "codec/cls_huffman.h"
#include "common/folder_file_list.h"
#include "report/report_window.h"

namespace kolbi {

// What the processing cycle needs of the main window beyond the report
// pass's part: the listing of the compressed files waiting, the stop
// watchdog it holds off while it runs, and the codec object it renews.
class QueueWindow : public ReportWindow {
public:
    FolderFileList lfLogCode{"*.SILog"};  // compressed files waiting

    virtual void SetTimerServiceEnabled(bool enabled) = 0;
    virtual clsHuffman& Huffman() = 0;
    // Replaces the codec object by a new one.
    virtual void NewHuffman() = 0;

protected:
    ~QueueWindow() = default;
};

}  // namespace kolbi
