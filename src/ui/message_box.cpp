#include "ui/message_box.h"

#include <cstdio>

namespace kolbi {
namespace {

MessageBoxPresenter* g_presenter = nullptr;

}  // namespace

void MsgBox(const std::string& prompt, MsgBoxStyle style, const std::string& title) {
    if (g_presenter) {
        g_presenter->ShowMessageBox(prompt, style, title);
        return;
    }
    std::FILE* out = style == MsgBoxStyle::kCritical ? stderr : stdout;
    std::string text = TerminalLines(title) + "\n" + TerminalLines(prompt) + "\n";
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void SetMessageBoxPresenter(MessageBoxPresenter* presenter) { g_presenter = presenter; }

std::string TerminalLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace kolbi
