#include "common/pending_events.h"

#include <utility>

namespace kolbi {
namespace {

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace

void LetPendingEventsRun() {
    if (auto& handler = Handler()) handler();
}

std::function<void()> SetPendingEventsHandler(std::function<void()> handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace kolbi
