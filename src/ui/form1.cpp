#include "ui/form1.h"

#include <chrono>

#include "common/program_end.h"

namespace kolbi {
namespace {

using std::chrono::milliseconds;

PumpProcessing& DefaultProcessing() {
    static PumpProcessing processing;
    return processing;
}

}  // namespace

Form1::Form1()
    : TimerStart(milliseconds(30000)),
      Timer1(milliseconds(30000)),
      timerService(milliseconds(60000)),
      huffman_(std::make_unique<clsHuffman>()),
      processing_(&DefaultProcessing()) {}

void Form1::SetProcessing(Form1Processing* processing) {
    processing_ = processing ? processing : &DefaultProcessing();
}

void Form1::Repaint() {
    if (host_) host_->Repaint();
}

void Form1::Unload() {
    if (host_) {
        host_->Unload();
    } else {
        EndProgram(kExitNormal);
    }
}

void Form1::EndIfUnloadPending() {
    if (host_ && host_->UnloadPending()) EndProgram(kExitNormal);
}

}  // namespace kolbi
