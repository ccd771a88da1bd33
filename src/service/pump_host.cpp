#include "service/pump_host.h"

#include <cstdio>

#include "common/pending_events.h"
#include "common/program_end.h"
#include "common/status_text.h"
#include "log/write_log.h"
#include "service/command_line.h"

namespace kolbi {

PumpHost::PumpHost(ServicePlatform& platform, ProcessPriority& priority, Options options)
    : platform_(platform),
      priority_(priority),
      options_(options),
      service_(platform),
      loop_(form_, service_, *this) {
    SetPendingEventsHandler([this] { loop_.DoEvents(); });
    SetDateFormatSwitchHandler([this] {
        form_.Timer1.Enable();
        SetStatusText("");
        form_.timerService.Enable();
    });
    // An end on a failure that the error log did not take (logging not on yet,
    // a program folder that cannot be written) still leaves a trace: in the
    // system log, and on the terminal when there is one.
    SetUnloggedFailureHandler([this](const std::string& text) {
        service_.LogEvent(1, 109, text);
        SetLastWords("kolbipump: " + text);
    });
}

PumpHost::~PumpHost() {
    SetPendingEventsHandler(nullptr);
    SetDateFormatSwitchHandler(nullptr);
    SetUnloggedFailureHandler(nullptr);
    loop_.SetScreen(nullptr);
}

void PumpHost::Load(const std::string& command_line) {
    // The modes that keep running take their stop, pause and continue from
    // signals; the one-shot ones keep the default, so Ctrl-C ends them.
    RunMode mode = ModeOf(ArgumentOf(command_line));
    if (mode == RunMode::kService || mode == RunMode::kVisible || mode == RunMode::kDetached) {
        (void)service_.ListenToSignals();
    }
    loop_.RunHandler([&] { Form_Load(command_line); });
    priority_.Apply();
}

void PumpHost::ShowWindow() {
    form_.Visible = true;
    if (!options_.use_terminal || screen_) return;
    std::string why;
    screen_ = StatusScreen::Open(form_, &why);
    if (!screen_) {
        std::fprintf(stderr, "kolbipump: no status screen (%s); running without it.\n",
                     why.c_str());
        return;
    }
    // A message box waits for its key, but the service events go on.
    screen_->SetModalWait(service_.WakeFd(), [this] {
        loop_.DoEvents();
        return !loop_.UnloadPending();
    });
    loop_.SetScreen(screen_.get());
}

Procedure::Reporter PumpHost::EventLogReporter() {
    return [this](const RuntimeError& error, std::string_view location) {
        service_.LogEvent(1, 109,
                          "[" + std::to_string(error.number()) + "] " + std::string(location) +
                              error.description());
    };
}

}  // namespace kolbi
