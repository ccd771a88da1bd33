#include "common/status_text.h"

namespace kolbi {
namespace {

std::string& Text() {
    static std::string text;
    return text;
}

}  // namespace

void SetStatusText(std::string text) { Text() = std::move(text); }

const std::string& StatusText() { return Text(); }

}  // namespace kolbi
