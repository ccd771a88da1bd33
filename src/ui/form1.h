#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/cls_huffman.h"
#include "ui/folder_file_list.h"
#include "ui/form1_host.h"
#include "ui/form1_processing.h"
#include "ui/list_box.h"
#include "ui/timer.h"

namespace kolbi {

// The main window: a plain object holding the timers, the folder listings,
// the labels, the work lists and the codec. The status screen draws it in
// visible mode; the status line lblInfo is StatusText() (common/status_text.h)
// because procedures far from the window set it.
class Form1 {
public:
    Form1();

    Timer TimerStart;    // 30 s, one-shot start of processing
    Timer Timer1;        // 30 s, processing tick
    Timer timerService;  // 60 s, stop watchdog

    FolderFileList lfLogCode;  // compressed files waiting in the incoming folder
    FolderFileList lfLog;      // decompressed files waiting in its "incoming" subfolder
    std::string Label1;        // count of decompressed files waiting

    ListBox lstInFile;     // cleaned lines of the report being processed
    ListBox lstLogProd;    // "Produits via le LOG"
    ListBox lstDBProd;     // "Produits via la BD"
    ListBox lstProdMOINS;  // "Produits supprimés"
    ListBox lstProdPLUS;   // "Produits ajoutés"

    std::int16_t RefreshTicks = 0;  // Timer1 ticks since the last processing tick
    bool StopRequested = false;
    bool Visible = false;

    // The codec object the window holds, and its replacement by a new one.
    clsHuffman& Huffman() { return *huffman_; }
    void NewHuffman() { huffman_ = std::make_unique<clsHuffman>(); }

    // The work of the subsystems above the window (see Form1Processing). Until
    // one is set, a NotBuiltProcessing stands in.
    void SetProcessing(Form1Processing* processing);
    void Do_Log() { processing_->Do_Log(*this); }
    void ProcessingCycle(Procedure& Timer1_Timer) {
        processing_->ProcessingCycle(*this, Timer1_Timer);
    }
    void CloseIdleConnection() { processing_->CloseIdleConnection(); }

    // The host; without one, Repaint does nothing and Unload ends the program.
    void SetHost(Form1Host* host) { host_ = host; }
    // Shows the window's current state soon.
    void Repaint();
    // Unloads the window, which ends the program (exit status 0).
    void Unload();
    // A safe point of a long handler: when a stop or a quit arrived while it
    // ran, the program ends here.
    void EndIfUnloadPending();

private:
    std::unique_ptr<clsHuffman> huffman_;
    Form1Processing* processing_;
    Form1Host* host_ = nullptr;
};

}  // namespace kolbi
