#include "service/event_loop.h"

#include <poll.h>

#include <algorithm>

#include "common/clock.h"
#include "common/program_end.h"

namespace kolbi {
namespace {

using std::chrono::milliseconds;

// Keys are looked at no more often than this from inside a handler, so that
// the checks of a long loop cost next to nothing.
constexpr milliseconds kKeyPollInterval{20};
// The longest the loop sleeps without looking around.
constexpr milliseconds kLongestWait{1000};

}  // namespace

EventLoop::EventLoop(Form1& form, ServiceControl& service, Client& client)
    : form_(form), service_(service), client_(client) {
    form_.SetHost(this);
}

EventLoop::~EventLoop() { form_.SetHost(nullptr); }

void EventLoop::SetScreen(StatusScreen* screen) {
    screen_ = screen;
    repaint_wanted_ = true;
}

void EventLoop::RunHandler(const std::function<void()>& handler) {
    if (handler_running_) {
        // Never happens through the loop itself; a direct call from inside a
        // handler runs as part of that handler.
        handler();
        return;
    }
    handler_running_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{handler_running_};
    handler();
    handler_running_ = false;
    repaint_wanted_ = true;
    if (unload_pending_) EndProgram(kExitNormal);
}

void EventLoop::DoEvents() {
    if (in_do_events_) return;
    in_do_events_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{in_do_events_};
    if (service_.EventPending()) DeliverServiceEvents();
    if (screen_) {
        milliseconds now = CurrentClock().Monotonic();
        if (now - last_key_poll_ >= kKeyPollInterval) {
            last_key_poll_ = now;
            ReadKeys();
        }
        Redraw(/*throttled=*/true);
    }
}

void EventLoop::DeliverServiceEvents() {
    while (std::optional<ServiceEvent> event = service_.TakeEvent()) {
        client_.OnServiceEvent(*event);
    }
}

void EventLoop::ReadKeys() {
    for (;;) {
        switch (screen_->ReadKey()) {
            case StatusScreen::Key::kNone:
                return;
            case StatusScreen::Key::kStart:
                PressStart();
                break;
            case StatusScreen::Key::kQuit:
                Quit();
                break;
            case StatusScreen::Key::kResize:
            case StatusScreen::Key::kOther:
                break;
        }
    }
}

void EventLoop::PressStart() { start_pressed_ = true; }

void EventLoop::Quit() { form_.Unload(); }

void EventLoop::Unload() {
    // Inside a running handler the unload waits for a safe point, so that a
    // report is never left half written to the database.
    if (handler_running_ && in_do_events_) {
        unload_pending_ = true;
        return;
    }
    EndProgram(kExitNormal);
}

Timer* EventLoop::NextDueTimer(milliseconds now) {
    Timer* next = nullptr;
    for (Timer* timer : {&form_.TimerStart, &form_.Timer1, &form_.timerService}) {
        if (timer->IsDue(now) && (!next || timer->Due() < next->Due())) next = timer;
    }
    return next;
}

void EventLoop::RunDue() {
    for (;;) {
        if (unload_pending_) EndProgram(kExitNormal);
        if (start_pressed_) {
            start_pressed_ = false;
            RunHandler([this] { client_.OnStartPressed(); });
            continue;
        }
        milliseconds now = CurrentClock().Monotonic();
        Timer* timer = NextDueTimer(now);
        if (!timer) return;
        timer->Ticked(now);
        RunHandler([this, timer] { client_.OnTimer(*timer); });
    }
}

void EventLoop::Redraw(bool throttled) {
    if (!screen_ || !repaint_wanted_) return;
    // While a handler runs its changes are shown every kRedrawInterval; a
    // repaint request is kept until it has been drawn.
    if (throttled) {
        if (screen_->DrawThrottled() && !handler_running_) repaint_wanted_ = false;
    } else {
        screen_->Draw();
        repaint_wanted_ = false;
    }
}

milliseconds EventLoop::WaitTime() {
    milliseconds now = CurrentClock().Monotonic();
    milliseconds wait = kLongestWait;
    for (Timer* timer : {&form_.TimerStart, &form_.Timer1, &form_.timerService}) {
        if (timer->Enabled() && timer->Interval().count() > 0) {
            wait = std::min(wait, std::max(milliseconds(0), timer->Due() - now));
        }
    }
    if (screen_ && repaint_wanted_) {
        wait = std::min(wait, std::max(milliseconds(0), screen_->NextDrawAllowed() - now));
    }
    if (start_pressed_ || service_.EventPending()) wait = milliseconds(0);
    return wait;
}

void EventLoop::Wait(milliseconds timeout) {
    pollfd fds[2];
    nfds_t count = 0;
    if (service_.WakeFd() >= 0) fds[count++] = {service_.WakeFd(), POLLIN, 0};
    if (screen_) fds[count++] = {screen_->InputFd(), POLLIN, 0};
    // Round up: waking a millisecond early would only spin once more.
    (void)::poll(fds, count, static_cast<int>(timeout.count()) + (timeout.count() > 0 ? 1 : 0));
}

void EventLoop::Run() {
    for (;;) {
        RunHandler([this] {
            DeliverServiceEvents();
            if (screen_) ReadKeys();
        });
        RunDue();
        if (screen_ && repaint_wanted_ &&
            CurrentClock().Monotonic() >= screen_->NextDrawAllowed()) {
            Redraw(/*throttled=*/false);
        }
        Wait(WaitTime());
    }
}

}  // namespace kolbi
