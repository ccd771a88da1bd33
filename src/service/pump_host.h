#pragma once

#include <memory>
#include <string>

#include "service/event_loop.h"
#include "service/process_priority.h"
#include "service/service_control.h"
#include "service/service_platform.h"
#include "ui/form1.h"
#include "ui/status_screen.h"

namespace kolbi {

// The program: the main window Form1 with its service control and event loop,
// and the window's procedures, which keep their names (Form_Load, the timer
// handlers, the service events, Command1_Click). Form_Load is in
// form_load.cpp, the timer handlers in timer_handlers.cpp, the service
// events in service_events.cpp.
//
// Creating a host installs its event loop as LetPendingEventsRun's handler and
// the window's part of the error log's date-format switch; destroying it
// takes both away again.
class PumpHost : public EventLoop::Client {
public:
    // What the host may use of the machine it runs on.
    struct Options {
        // Visible mode may take over the terminal for the status screen.
        bool use_terminal = true;
    };

    PumpHost(ServicePlatform& platform, ProcessPriority& priority, Options options);
    ~PumpHost() override;
    PumpHost(const PumpHost&) = delete;
    PumpHost& operator=(const PumpHost&) = delete;

    Form1& form() { return form_; }
    ServiceControl& NTServiceOCX() { return service_; }
    EventLoop& loop() { return loop_; }

    // Starts the program: catches the service signals (in the modes that keep
    // running), runs Form_Load as the first handler and applies the priority
    // it settled on.
    void Load(const std::string& command_line);
    // Serves events until the program ends.
    [[noreturn]] void Run() { loop_.Run(); }

    // The window's procedures.
    void Form_Load(const std::string& command_line);
    void TimerStart_Timer();
    void Timer1_Timer();
    void timerService_Timer();
    void Command1_Click();
    void NTServiceOCX_Start(bool& Success);
    void NTServiceOCX_Stop();
    void NTServiceOCX_Pause(bool& Success);
    void NTServiceOCX_Continue(bool& Success);

    // EventLoop::Client.
    void OnServiceEvent(ServiceEvent event) override;
    void OnTimer(Timer& timer) override;
    void OnStartPressed() override;

private:
    // Runs a procedure that has no failure handler of its own (the timer
    // handlers that have none, Command1_Click). A failure nothing handled on
    // the way ends the program (exit status 1), as an unhandled run-time error
    // always did, after saying what it was: in the system log, and in a
    // message box when the window is visible.
    void RunUnhandled(const char* procedure, const std::function<void()>& body);
    void FormLoadSteps(const std::string& command_line);
    // Ends -i or -u that failed: the service control's reason on standard
    // error, exit status 1.
    [[noreturn]] void OneShotFailed();
    // Shows the window: the status screen when there is a terminal for it.
    void ShowWindow();
    // The reporter of the procedures that write to the system event log.
    Procedure::Reporter EventLogReporter();

    ServicePlatform& platform_;
    ProcessPriority& priority_;
    Options options_;
    Form1 form_;
    ServiceControl service_;
    EventLoop loop_;
    std::unique_ptr<StatusScreen> screen_;
};

}  // namespace kolbi
