#include "ui/form1_processing.h"

#include "queue/processing_cycle.h"
#include "report/do_log.h"
#include "report/set_transac.h"
#include "ui/form1.h"

namespace kolbi {

PumpProcessing::PumpProcessing() { InstallTransacAfterConnect(); }

void PumpProcessing::Do_Log(Form1& form) { kolbi::Do_Log(form); }

void PumpProcessing::ProcessingCycle(Form1& form, Procedure& Timer1_Timer) {
    kolbi::ProcessingCycle(form, Timer1_Timer);
}

void PumpProcessing::CloseIdleConnection() { kolbi::CloseIdleConnection(); }

}  // namespace kolbi
