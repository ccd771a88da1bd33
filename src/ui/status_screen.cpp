#include "ui/status_screen.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <span>
#include <string_view>

#include "common/clock.h"
#include "common/program_end.h"
#include "common/pump_metrics.h"
#include "common/status_text.h"
#include "ui/display_text.h"

// Last: curses defines macros (refresh, erase, timeout...) that would clash
// with names in the headers above.
#define NCURSES_WIDECHAR 1
#include <curses.h>

namespace kolbi {
namespace {

constexpr std::string_view kBanner = "Tessmar Software Inventory Collector";
constexpr std::string_view kButton = "[ START ]";
constexpr std::string_view kLabel3 = "Fichiers compressés en attente :";
constexpr std::string_view kFrame2 = "File d'attente des fichiers entrant";
constexpr std::string_view kLabel4[4] = {"Produits via le LOG", "Produits via la BD",
                                         "Produits supprimés", "Produits ajoutés"};
constexpr std::string_view kHelp = "s ou Entrée : START      q : quitter";

SCREEN* g_terminal = nullptr;
std::terminate_handler g_previous_terminate = nullptr;

void RestoreTerminal() {
    if (!g_terminal) return;
    endwin();
    g_terminal = nullptr;
}

[[noreturn]] void RestoreTerminalAndTerminate() {
    RestoreTerminal();
    if (g_previous_terminate) g_previous_terminate();
    std::abort();
}

// Writes text (UTF-8, or Windows-1252 report bytes) at y, x in at most width columns.
void Put(int y, int x, int width, std::string_view text, attr_t attributes = A_NORMAL) {
    if (width <= 0 || y < 0 || x < 0) return;
    std::wstring shown = FitColumns(DisplayText(text), width);
    attron(attributes);
    mvaddnwstr(y, x, shown.c_str(), static_cast<int>(shown.size()));
    attroff(attributes);
}

void Frame(int y, int x, int height, int width, std::string_view title) {
    if (height < 2 || width < 2) return;
    mvaddch(y, x, ACS_ULCORNER);
    mvhline(y, x + 1, ACS_HLINE, width - 2);
    mvaddch(y, x + width - 1, ACS_URCORNER);
    mvvline(y + 1, x, ACS_VLINE, height - 2);
    mvvline(y + 1, x + width - 1, ACS_VLINE, height - 2);
    mvaddch(y + height - 1, x, ACS_LLCORNER);
    mvhline(y + height - 1, x + 1, ACS_HLINE, width - 2);
    mvaddch(y + height - 1, x + width - 1, ACS_LRCORNER);
    if (!title.empty()) Put(y, x + 2, width - 4, " " + std::string(title) + " ", A_BOLD);
}

// The first items that fit in rows; when some do not, the last row says how many.
void Items(int y, int x, int rows, int width, std::span<const std::string> items) {
    if (rows <= 0) return;
    int count = static_cast<int>(items.size());
    int shown = count <= rows ? count : rows - 1;
    for (int i = 0; i < shown; ++i) Put(y + i, x, width, items[static_cast<size_t>(i)]);
    if (shown < count) {
        Put(y + rows - 1, x, width, "… " + std::to_string(count - shown) + " de plus", A_DIM);
    }
}

// Splits text into lines at its line breaks, then wraps each at spaces so that
// no line is wider than width columns.
std::vector<std::wstring> WrapLines(const std::string& text, int width) {
    std::vector<std::wstring> lines;
    std::string plain = TerminalLines(text);
    size_t start = 0;
    for (;;) {
        size_t end = plain.find('\n', start);
        std::wstring line =
            DisplayText(plain.substr(start, end == std::string::npos ? end : end - start));
        while (DisplayColumns(line) > width) {
            std::wstring head = FitColumns(line, width);
            size_t space = head.rfind(L' ');
            if (space != std::wstring::npos && space > 0) head.resize(space);
            lines.push_back(head);
            line.erase(0, head.size());
            if (!line.empty() && line.front() == L' ') line.erase(0, 1);
        }
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

// The pump's pace and what is left to do, on a line of its own under the
// status line: reports a second (of the cycle running, else of the last one)
// and the files waiting in both folders as the listings last saw them.
std::string PaceLine(const Form1& form) {
    std::string pace = "—";
    if (const std::optional<double> rate = Metrics().Throughput()) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", *rate);
        pace = std::string(buffer) + " rapport(s)/s";
    }
    return "Débit : " + pace + "    En attente : " + std::to_string(form.lfLogCode.ListCount()) +
           " compressé(s) + " + std::to_string(form.lfLog.ListCount()) + " décompressé(s)";
}

bool IsAcknowledge(int key) {
    return key == '\r' || key == '\n' || key == KEY_ENTER || key == ' ' || key == 27 ||
           key == 'o' || key == 'O';
}

}  // namespace

std::unique_ptr<StatusScreen> StatusScreen::Open(const Form1& form, std::string* why) {
    if (g_terminal) {
        if (why) *why = "a status screen is already open";
        return nullptr;
    }
    if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
        if (why) *why = "standard input and output are not a terminal";
        return nullptr;
    }
    g_terminal = newterm(nullptr, stdout, stdin);
    if (!g_terminal) {
        const char* term = std::getenv("TERM");
        if (why) *why = std::string("the terminal type \"") + (term ? term : "") + "\" is unknown";
        return nullptr;
    }
    static bool registered = false;
    if (!registered) {
        registered = true;
        AtProgramEnd(RestoreTerminal);
        g_previous_terminate = std::set_terminate(RestoreTerminalAndTerminate);
    }
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);

    std::unique_ptr<StatusScreen> screen(new StatusScreen(form));
    SetMessageBoxPresenter(screen.get());
    screen->Draw();
    return screen;
}

StatusScreen::StatusScreen(const Form1& form) : form_(form) {}

StatusScreen::~StatusScreen() {
    SetMessageBoxPresenter(nullptr);
    RestoreTerminal();
}

StatusScreen::Key StatusScreen::ReadKey() {
    // A message box being shown takes the keys itself.
    if (modal_) return Key::kNone;
    int key = getch();
    switch (key) {
        case ERR:
            return Key::kNone;
        case 's':
        case 'S':
        case '\r':
        case '\n':
        case KEY_ENTER:
            return Key::kStart;
        case 'q':
        case 'Q':
            return Key::kQuit;
        case KEY_RESIZE:
            Draw();
            return Key::kResize;
        default:
            return Key::kOther;
    }
}

bool StatusScreen::DrawThrottled() {
    if (CurrentClock().Monotonic() < NextDrawAllowed()) return false;
    Draw();
    return true;
}

void StatusScreen::Draw() {
    DrawWindow();
    if (modal_) DrawModal();
    refresh();
    last_draw_ = CurrentClock().Monotonic();
}

void StatusScreen::DrawWindow() {
    const int width = COLS;
    const int height = LINES;
    erase();
    if (width < kMinColumns || height < kMinRows) {
        Put(0, 0, width,
            "Terminal trop petit : " + std::to_string(kMinColumns) + " x " +
                std::to_string(kMinRows) + " au minimum.",
            A_BOLD);
        return;
    }
    const int button_x = width - static_cast<int>(kButton.size()) - 1;
    Put(0, 1, button_x - 2, kBanner, A_BOLD);
    Put(0, button_x, static_cast<int>(kButton.size()), kButton, A_REVERSE | A_BOLD);
    Put(1, 1, width - 2, StatusText());
    Put(2, 1, width - 2, PaceLine(form_), A_DIM);

    // Three bands between the status line and the help line: the two queues,
    // the report being read, the product lists.
    const int top = 3;
    const int rows = height - 1 - top;
    const int queues = std::max(6, rows * 2 / 5);
    const int report = std::max(4, rows / 4);
    const int products = rows - queues - report;

    const int half = width / 2;
    Put(top, 1, half - 2, kLabel3, A_BOLD);
    Items(top + 1, 3, queues - 1, half - 4, form_.lfLogCode.Names());
    Frame(top, half, queues, width - half, kFrame2);
    Items(top + 1, half + 2, queues - 3, width - half - 4, form_.lfLog.Names());
    Put(top + queues - 2, half + 2, width - half - 4, form_.Label1);

    Frame(top + queues, 0, report, width, "");
    Items(top + queues + 1, 2, report - 2, width - 4, form_.lstInFile.Items());

    const ListBox* lists[4] = {&form_.lstLogProd, &form_.lstDBProd, &form_.lstProdMOINS,
                               &form_.lstProdPLUS};
    const int column = width / 4;
    const int y = top + queues + report;
    for (int k = 0; k < 4; ++k) {
        int x = k * column;
        int w = k == 3 ? width - 3 * column : column;
        Frame(y, x, products, w, kLabel4[k]);
        Items(y + 1, x + 2, products - 2, w - 4, lists[k]->Items());
    }
    Put(height - 1, 1, width - 2, kHelp, A_DIM);
}

void StatusScreen::SetModalWait(int wake_fd, std::function<bool()> hook) {
    wake_fd_ = wake_fd;
    modal_hook_ = std::move(hook);
}

void StatusScreen::DrawModal() {
    const int width = COLS;
    const int height = LINES;
    std::vector<std::wstring> lines = WrapLines(modal_->prompt, std::max(10, width - 8));
    int inner = std::max(DisplayColumns(DisplayText(modal_->title)) + 6, 8);
    for (const std::wstring& line : lines) inner = std::max(inner, DisplayColumns(line));
    const int box_w = std::min(width, inner + 4);
    const int box_h = std::min(height, static_cast<int>(lines.size()) + 4);
    const int y = std::max(0, (height - box_h) / 2);
    const int x = std::max(0, (width - box_w) / 2);
    for (int row = 0; row < box_h; ++row) mvhline(y + row, x, ' ', box_w);
    Frame(y, x, box_h, box_w, "");
    const bool critical = modal_->style == MsgBoxStyle::kCritical;
    Put(y, x + 2, box_w - 4, (critical ? " ✖ " : " ") + modal_->title + " ", A_BOLD | A_REVERSE);
    const int text_rows = std::min(static_cast<int>(lines.size()), box_h - 4);
    for (int i = 0; i < text_rows; ++i) {
        std::wstring line = FitColumns(lines[static_cast<size_t>(i)], box_w - 4);
        mvaddnwstr(y + 1 + i, x + 2, line.c_str(), static_cast<int>(line.size()));
    }
    Put(y + box_h - 2, x + (box_w - 6) / 2, 6, "[ OK ]", A_REVERSE | A_BOLD);
}

void StatusScreen::ShowMessageBox(const std::string& prompt, MsgBoxStyle style,
                                  const std::string& title) {
    modal_ = Modal{prompt, style, title};
    Draw();
    for (;;) {
        int key = getch();
        if (key == KEY_RESIZE) {
            Draw();
            continue;
        }
        if (key != ERR) {
            if (IsAcknowledge(key)) break;
            continue;
        }
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        ::poll(fds, wake_fd_ >= 0 ? 2 : 1, 250);
        if (modal_hook_ && !modal_hook_()) break;
    }
    modal_.reset();
    Draw();
}

}  // namespace kolbi
