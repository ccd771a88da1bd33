#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/form1.h"
#include "ui/message_box.h"

namespace kolbi {

// The status screen: the terminal view of Form1 in visible mode, drawn with
// ncurses. It shows the banner, lblInfo, the pump's pace and backlog, the
// START button, the compressed files waiting, the frame with the decompressed
// files and Label1, lstInFile and the four product lists under their
// captions. While it is open, message boxes are modal boxes on it. Only one
// screen exists at a time.
class StatusScreen : public MessageBoxPresenter {
public:
    // What a key press asks for.
    enum class Key {
        kNone,    // nothing waiting
        kStart,   // "s" or Enter: the START button
        kQuit,    // "q": close the window
        kResize,  // the terminal changed size (already redrawn)
        kOther,
    };

    // The smallest terminal the full screen fits in; below it a one-line
    // notice is shown instead.
    static constexpr int kMinColumns = 60;
    static constexpr int kMinRows = 20;
    // Redraws come at most this often, so drawing never slows processing.
    static constexpr std::chrono::milliseconds kRedrawInterval{100};

    // Takes over the terminal (standard input and output) to show form.
    // Returns nothing, with the reason in *why, when there is no terminal that
    // ncurses can drive. The terminal is given back when the screen goes away
    // and on every end of the program (EndProgram, an escaping exception).
    static std::unique_ptr<StatusScreen> Open(const Form1& form, std::string* why);
    ~StatusScreen() override;
    StatusScreen(const StatusScreen&) = delete;
    StatusScreen& operator=(const StatusScreen&) = delete;

    // The descriptor to wait on for keys.
    int InputFd() const { return 0; }
    // Reads one waiting key without blocking; nothing while a message box is up.
    Key ReadKey();

    // Draws the window now.
    void Draw();
    // Draws when the last draw is at least kRedrawInterval old; true when it drew.
    bool DrawThrottled();
    // When DrawThrottled will draw again.
    std::chrono::milliseconds NextDrawAllowed() const { return last_draw_ + kRedrawInterval; }

    // While a modal box waits for its key, it also waits on wake_fd and calls
    // hook whenever that descriptor is readable or a short while has passed;
    // the host lets its pending events run there. The box closes when the hook
    // returns false (the program is being stopped).
    void SetModalWait(int wake_fd, std::function<bool()> hook);

    // A modal box: title, text (CR LF as line breaks) and an OK button,
    // acknowledged with Enter, space, Escape or "o".
    void ShowMessageBox(const std::string& prompt, MsgBoxStyle style,
                        const std::string& title) override;

private:
    explicit StatusScreen(const Form1& form);

    struct Modal {
        std::string prompt;
        MsgBoxStyle style;
        std::string title;
    };

    void DrawWindow();
    void DrawModal();

    const Form1& form_;
    std::chrono::milliseconds last_draw_{-kRedrawInterval};
    int wake_fd_ = -1;
    std::function<bool()> modal_hook_;
    std::optional<Modal> modal_;  // the message box being shown
};

}  // namespace kolbi
