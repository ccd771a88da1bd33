#pragma once

#include <string>

namespace kolbi {

// The buttons and icon of a message box. Every box of the pump has only an
// OK button; the critical one also carries the stop icon.
enum class MsgBoxStyle {
    kOkOnly,
    kCritical,
};

// Shows a message box and returns once it has been acknowledged. While the
// status screen is up it is a modal box on the screen; otherwise (the one-shot
// modes) the title and the text go to the terminal, a CR LF of the text shown
// as a line break: to standard error for a critical box, else standard output.
void MsgBox(const std::string& prompt, MsgBoxStyle style, const std::string& title);

// Where message boxes go while a screen is up.
class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual void ShowMessageBox(const std::string& prompt, MsgBoxStyle style,
                                const std::string& title) = 0;
};

// Installs the presenter (nullptr: back to the terminal).
void SetMessageBoxPresenter(MessageBoxPresenter* presenter);

// The text as the terminal shows it: CR LF, and a lone CR, become "\n".
std::string TerminalLines(const std::string& text);

}  // namespace kolbi
