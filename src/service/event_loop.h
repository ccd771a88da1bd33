#pragma once

#include <chrono>
#include <functional>

#include "service/service_control.h"
#include "ui/form1.h"
#include "ui/form1_host.h"
#include "ui/status_screen.h"

namespace kolbi {

// The single-threaded event loop of the main window. It delivers the window's
// timer ticks, the service events, the START button and the keys of the
// status screen, and redraws the screen.
//
// Handlers never nest. A running handler lets pending events run (DoEvents,
// installed as LetPendingEventsRun): that delivers service events, reads keys
// and redraws, but a timer tick or a START press that comes meanwhile waits
// until the handler has returned. A stop or a quit that comes inside a
// handler ends the program at the handler's next safe point
// (Form1::EndIfUnloadPending) or when it returns, whichever is first.
//
// Time is CurrentClock().Monotonic(), so tests drive ticks with a fake clock
// and RunDue, without waiting.
class EventLoop : public Form1Host {
public:
    // Whoever handles what the loop delivers: the window's procedures.
    class Client {
    public:
        virtual ~Client() = default;
        virtual void OnServiceEvent(ServiceEvent event) = 0;
        virtual void OnTimer(Timer& timer) = 0;
        virtual void OnStartPressed() = 0;
    };

    EventLoop(Form1& form, ServiceControl& service, Client& client);
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // The screen to read keys from and draw on (nullptr: none).
    void SetScreen(StatusScreen* screen);

    // Runs a handler at the top level: nothing else runs until it returns
    // but what DoEvents delivers. An unload asked for meanwhile ends the
    // program when it returns.
    void RunHandler(const std::function<void()>& handler);
    bool InHandler() const { return handler_running_; }

    // Lets pending events run: service events, keys, a throttled redraw.
    void DoEvents();

    // Runs at the top level, one after the other, a START press that waits and
    // every timer tick that is due, earliest first (the window's timer order
    // breaks ties), until nothing is due.
    void RunDue();

    // The START button and the "q" key, as the screen's keys deliver them.
    void PressStart();
    void Quit();

    // Serves events for ever; the program ends through Unload or EndProgram.
    [[noreturn]] void Run();

    // Form1Host.
    void Repaint() override { repaint_wanted_ = true; }
    void Unload() override;
    bool UnloadPending() const override { return unload_pending_; }

private:
    void DeliverServiceEvents();
    void ReadKeys();
    void Redraw(bool throttled);
    Timer* NextDueTimer(std::chrono::milliseconds now);
    std::chrono::milliseconds WaitTime();
    void Wait(std::chrono::milliseconds timeout);

    Form1& form_;
    ServiceControl& service_;
    Client& client_;
    StatusScreen* screen_ = nullptr;

    bool handler_running_ = false;
    bool in_do_events_ = false;
    bool start_pressed_ = false;
    bool unload_pending_ = false;
    bool repaint_wanted_ = true;
    std::chrono::milliseconds last_key_poll_{0};
};

}  // namespace kolbi
