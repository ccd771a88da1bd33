#pragma once

#include "log/procedure.h"

namespace kolbi {

class Form1;

// The work the window's timers start, provided by the subsystems built on top
// of the window: the report pass Do_Log, the incoming queue's processing cycle
// and the closing of a database connection left open. The service host calls
// these; the program wires the real implementations in with
// Form1::SetProcessing. Everything runs on the window's one thread.
class Form1Processing {
public:
    virtual ~Form1Processing() = default;

    // Do_Log: one pass over the decompressed reports listed in form.lfLog. It
    // lets pending events run at its fixed points; once a report's database
    // work is done it calls form.EndIfUnloadPending(), so that a stop asked for
    // meanwhile ends the program between two reports, never inside one.
    virtual void Do_Log(Form1& form) = 0;

    // The processing part of Timer1_Timer, run on a processing tick
    // (RefreshTicks already 0). Its steps run through Timer1_Timer, the guard
    // of the tick logic, because one handler covers the whole of Timer1_Timer.
    // It calls form.EndIfUnloadPending() after each compressed file.
    virtual void ProcessingCycle(Form1& form, Procedure& Timer1_Timer) = 0;

    // An idle tick of Timer1: close the shared database connection when it is
    // open (the connection object stays for the next connect).
    virtual void CloseIdleConnection() = 0;
};

// The pump's own work: the report pass, the incoming queue's cycle and the
// idle close of the database connection. Made, it has every DBConnect blank
// the activity row right after the open, as the pump always has.
class PumpProcessing : public Form1Processing {
public:
    PumpProcessing();
    void Do_Log(Form1& form) override;
    void ProcessingCycle(Form1& form, Procedure& Timer1_Timer) override;
    void CloseIdleConnection() override;
};

}  // namespace kolbi
