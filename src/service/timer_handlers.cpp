// The window's timers and the START button.
#include "common/pending_events.h"
#include "common/program_end.h"
#include "common/pump_metrics.h"
#include "common/pump_settings.h"
#include "config/ini_t_stuff.h"
#include "log/write_log.h"
#include "service/command_line.h"
#include "service/leading_number.h"
#include "service/pump_host.h"
#include "ui/message_box.h"

namespace kolbi {

void PumpHost::TimerStart_Timer() {
    form_.TimerStart.Disable();
    IniTStuff(form_);
    form_.Do_Log();
    form_.Timer1.Enable();
    form_.timerService.Enable();
}

void PumpHost::Timer1_Timer() {
    // Once the date format has been switched, a failure ends the tick; the
    // watchdog must run then, or a stop would never be seen, and so must
    // Timer1, or periodic processing would stop without a word until START.
    Procedure proc("in procedure Timer1_Timer of Feuille Form1", [this](const RuntimeError&) {
        if (!DateFormatSwitched()) return AfterReport::kContinue;
        form_.timerService.Enable();
        form_.Timer1.Enable();
        return AfterReport::kLeave;
    });
    // 16 bits, as it always was: with a Refresh above 32767 the count
    // overflows, which is reported each tick, and every tick stays idle.
    proc.Run([&] { form_.RefreshTicks = CheckedInt16(form_.RefreshTicks + 1, "RefreshTicks"); });
    proc.Run([&] { LetPendingEventsRun(); });
    // A comparison that fails to run leads into the idle branch, the step
    // that follows it.
    bool idle = true;
    proc.Run([&] { idle = LeadingNumber(Settings().Refresh) > form_.RefreshTicks; });
    if (idle) {
        proc.Run([&] { form_.CloseIdleConnection(); });
        return;
    }
    proc.Run([&] { form_.RefreshTicks = 0; });
    if (proc.Left()) return;
    form_.ProcessingCycle(proc);
    service_.ShowStatus(Metrics().StatusFacts());
}

void PumpHost::timerService_Timer() {
    RunAbsorbed([&] {
        if (form_.StopRequested) {
            form_.timerService.Disable();
            form_.Unload();
        }
    });
}

void PumpHost::Command1_Click() {
    TimerStart_Timer();
    Timer1_Timer();
}

void PumpHost::OnTimer(Timer& timer) {
    if (&timer == &form_.TimerStart) {
        RunUnhandled("TimerStart_Timer", [this] { TimerStart_Timer(); });
    } else if (&timer == &form_.Timer1) {
        RunUnhandled("Timer1_Timer", [this] { Timer1_Timer(); });
    } else if (&timer == &form_.timerService) {
        timerService_Timer();
    }
}

void PumpHost::OnStartPressed() {
    RunUnhandled("Command1_Click", [this] { Command1_Click(); });
}

void PumpHost::RunUnhandled(const char* procedure, const std::function<void()>& body) {
    std::optional<RuntimeError> failure = CatchRuntimeError(body);
    if (!failure) return;
    const std::string text = "Run-time error " + std::to_string(failure->number()) + " in " +
                             procedure + ": " + failure->description();
    service_.LogEvent(1, 109, text);
    if (form_.Visible) MsgBox(text, MsgBoxStyle::kCritical, kProductName);
    EndProgram(kExitFailure);
}

}  // namespace kolbi
