// The service manager's events.
#include "service/command_line.h"
#include "service/pump_host.h"

namespace kolbi {
namespace {

AfterReport Leave(const RuntimeError&) { return AfterReport::kLeave; }

}  // namespace

void PumpHost::NTServiceOCX_Start(bool& Success) {
    Procedure proc("Error during NTServiceOCX_Start event, ", Leave, EventLogReporter());
    proc.Run([&] { Success = true; });
    proc.Run([&] { form_.StopRequested = false; });
    proc.Run([&] { form_.timerService.Enable(); });
}

void PumpHost::NTServiceOCX_Stop() {
    Procedure proc("Error during NTServiceOCX_Stop event, ", Leave, EventLogReporter());
    proc.Run([&] { form_.timerService.Disable(); });
    proc.Run([&] { form_.StopRequested = true; });
    proc.Run([&] { form_.Unload(); });
}

void PumpHost::NTServiceOCX_Pause(bool& Success) {
    Procedure proc("Error during NTServiceOCX_Pause event, ", Leave, EventLogReporter());
    proc.Run([&] { Success = true; });
    proc.Run([&] { form_.StopRequested = false; });
    proc.Run([&] {
        service_.LogEvent(0, 110, std::string("Successfully paused service, ") + kProductName);
    });
    proc.Run([&] { form_.timerService.Disable(); });
}

void PumpHost::NTServiceOCX_Continue(bool& Success) {
    Procedure proc("Error during NTServiceOCX_Continue event, ", Leave, EventLogReporter());
    proc.Run([&] { Success = true; });
    proc.Run([&] { form_.StopRequested = false; });
    proc.Run([&] {
        service_.LogEvent(0, 110, std::string("Successfully continued service, ") + kProductName);
    });
    proc.Run([&] { form_.timerService.Enable(); });
}

void PumpHost::OnServiceEvent(ServiceEvent event) {
    bool success = false;
    switch (event) {
        case ServiceEvent::kStart:
            NTServiceOCX_Start(success);
            break;
        case ServiceEvent::kStop:
            // Told before the window goes: unloading may end the program at once.
            service_.Acknowledge(event, true);
            NTServiceOCX_Stop();
            return;
        case ServiceEvent::kPause:
            NTServiceOCX_Pause(success);
            break;
        case ServiceEvent::kContinue:
            NTServiceOCX_Continue(success);
            break;
    }
    service_.Acknowledge(event, success);
}

}  // namespace kolbi
