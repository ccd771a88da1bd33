#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/cls_huffman.h"
#include "queue/queue_window.h"
#include "ui/form1_host.h"
#include "ui/form1_processing.h"
#include "ui/timer.h"

namespace kolbi {

// The main window: a plain object holding the timers, the folder listings,
// the labels, the work lists and the codec. The status screen draws it in
// visible mode; the status line lblInfo is StatusText() (common/status_text.h)
// because procedures far from the window set it.
//
// The listings, Label1 and the five work lists are the parts the processing
// cycle and the report pass work on (QueueWindow, ReportWindow).
class Form1 final : public QueueWindow {
public:
    Form1();

    Timer TimerStart;    // 30 s, one-shot start of processing
    Timer Timer1;        // 30 s, processing tick
    Timer timerService;  // 60 s, stop watchdog

    std::int16_t RefreshTicks = 0;  // Timer1 ticks since the last processing tick
    bool StopRequested = false;
    bool Visible = false;

    // The codec object the window holds, and its replacement by a new one.
    clsHuffman& Huffman() override { return *huffman_; }
    void NewHuffman() override { huffman_ = std::make_unique<clsHuffman>(); }

    void SetTimer1Enabled(bool enabled) override { enabled ? Timer1.Enable() : Timer1.Disable(); }
    void SetTimerServiceEnabled(bool enabled) override {
        enabled ? timerService.Enable() : timerService.Disable();
    }

    // The work the timers start (see Form1Processing): the pump's own unless
    // another is set (tests).
    void SetProcessing(Form1Processing* processing);
    void Do_Log() { processing_->Do_Log(*this); }
    void ProcessingCycle(Procedure& Timer1_Timer) {
        processing_->ProcessingCycle(*this, Timer1_Timer);
    }
    void CloseIdleConnection() { processing_->CloseIdleConnection(); }

    // The host; without one, Repaint does nothing and Unload ends the program.
    void SetHost(Form1Host* host) { host_ = host; }
    // Shows the window's current state soon.
    void Repaint() override;
    // Unloads the window, which ends the program (exit status 0).
    void Unload();
    // A safe point of a long handler: when a stop or a quit arrived while it
    // ran, the program ends here.
    void EndIfUnloadPending() override;

private:
    std::unique_ptr<clsHuffman> huffman_;
    Form1Processing* processing_;
    Form1Host* host_ = nullptr;
};

}  // namespace kolbi
