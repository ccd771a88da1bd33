// Form_Load: the start of the program, from the command line.
#include <chrono>
#include <cstdio>

#include "common/program_end.h"
#include "config/ini_t_stuff.h"
#include "db/db_connect.h"
#include "service/command_line.h"
#include "service/pump_host.h"
#include "ui/message_box.h"

namespace kolbi {

void PumpHost::Form_Load(const std::string& command_line) {
    // Any failure goes to the system event log and ends Form_Load at once.
    Procedure proc(
        "Error during Form_Load event: ", [](const RuntimeError&) { return AfterReport::kLeave; },
        EventLogReporter());
    proc.Run([&] { FormLoadSteps(command_line); });
}

void PumpHost::FormLoadSteps(const std::string& command_line) {
    const std::string product = kProductName;

    form_.Visible = false;
    form_.StopRequested = false;
    priority_.SetThreadPriority(kThreadPriorityHighest);
    priority_.SetPriorityClass(kIdlePriorityClass);

    service_.Set(6, false);
    service_.Set(2, std::int32_t{6});
    service_.Set(8, false);
    service_.Set(5, product);
    service_.Set(9, product);
    service_.Set(10, std::int32_t{2});

    const std::string argument = ArgumentOf(command_line);
    const RunMode mode = ModeOf(argument);
    if (mode == RunMode::kService) {
        // The service manager hears the pump is ready only once it has read
        // its configuration and opened its database: a broken setup ends the
        // program here (status 1, the reason in the error log and the
        // journal), so that `systemctl start` fails instead of reporting a
        // pump that will never work. The first pass reads both again.
        if (platform_.UnderServiceManager()) {
            IniTStuff(form_);
            DBConnect();
        }
        service_.StartService();
        form_.StopRequested = false;
    } else {
        form_.StopRequested = true;
        switch (mode) {
            case RunMode::kInstall:
                // Nothing is shown for the install; a failure says why on the
                // terminal, where the operator who typed -i is looking, and in
                // the exit status, for the script that ran it.
                if (!service_.Install()) OneShotFailed();
                EndProgram(kExitNormal);
            case RunMode::kUninstall:
                if (service_.Uninstall()) {
                    MsgBox(product + " uninstalled successfully", MsgBoxStyle::kOkOnly, product);
                    EndProgram(kExitNormal);
                }
                MsgBox(product + " failed to uninstall", MsgBoxStyle::kOkOnly, product);
                OneShotFailed();
            case RunMode::kVersion:
                MsgBox(VersionText(), MsgBoxStyle::kOkOnly, "Version");
                EndProgram(kExitNormal);
            case RunMode::kHelp:
                MsgBox(HelpText(), MsgBoxStyle::kOkOnly, product);
                EndProgram(kExitNormal);
            case RunMode::kVisible:
                ShowWindow();
                form_.TimerStart.Enable();
                TimerStart_Timer();
                break;
            case RunMode::kDetached:
                priority_.SetThreadPriority(kThreadPriorityHighest);
                priority_.SetPriorityClass(kNormalPriorityClass);
                break;
            case RunMode::kService:
            case RunMode::kInvalid:
                MsgBox("Invalid command option", MsgBoxStyle::kOkOnly, product);
                EndProgram(kExitInvalidOption);
        }
        form_.timerService.SetInterval(std::chrono::milliseconds(60000));
        form_.timerService.Enable();
    }
    form_.StopRequested = false;
    form_.Timer1.Disable();
}

void PumpHost::OneShotFailed() {
    std::fprintf(stderr, "kolbipump: %s\n", service_.LastError().c_str());
    EndProgram(kExitFailure);
}

}  // namespace kolbi
