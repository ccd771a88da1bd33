#include "service/signal_events.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace kolbi {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_pending{false};
struct sigaction g_previous[kSignalCount];
bool g_caught[kSignalCount];

// Whoever started the pump may have chosen to ignore a hang-up (nohup) or an
// interrupt (a shell starting a job in the background without job control);
// catching such a signal would undo that choice. SIGTERM, the service
// manager's stop, is always caught.
bool KeepsInheritedIgnore(int number) { return number == SIGHUP || number == SIGINT; }

extern "C" void OnSignal(int number) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(number);
    g_pending.store(true, std::memory_order_relaxed);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool SignalEvents::Install() {
    if (installed_) return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignalCount; ++i) {
        ::sigaction(kSignals[i], nullptr, &g_previous[i]);
        g_caught[i] = !(KeepsInheritedIgnore(kSignals[i]) && g_previous[i].sa_handler == SIG_IGN);
        if (g_caught[i]) ::sigaction(kSignals[i], &action, nullptr);
    }
    installed_ = true;
    return true;
}

SignalEvents::~SignalEvents() {
    if (!installed_) return;
    for (size_t i = 0; i < kSignalCount; ++i) {
        if (g_caught[i]) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_pending.store(false);
}

int SignalEvents::WakeFd() const { return installed_ ? g_pipe[0] : -1; }

bool SignalEvents::Pending() const {
    return installed_ && g_pending.load(std::memory_order_relaxed);
}

std::vector<int> SignalEvents::Take() {
    std::vector<int> numbers;
    if (!installed_) return numbers;
    g_pending.store(false, std::memory_order_relaxed);
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = ::read(g_pipe[0], buffer, sizeof buffer);
        if (n <= 0) break;
        numbers.insert(numbers.end(), buffer, buffer + n);
    }
    return numbers;
}

}  // namespace kolbi
