#include "service/service_control.h"

#include <syslog.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "log/log_text.h"
#include "service/unit_file.h"

namespace kolbi {
namespace {

constexpr int kMemberServiceName = 5;
constexpr int kMemberDisplayName = 9;
constexpr int kMemberStartMode = 10;
constexpr std::int32_t kStartModeAutomatic = 2;
constexpr const char* kCheckProgramName = "kolbipump-check";

constexpr std::int16_t kEventTypeError = 1;
constexpr std::int16_t kEventTypeWarning = 2;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemctlFailure(const std::vector<std::string>& arguments, int status) {
    std::string command = "systemctl";
    for (const std::string& word : arguments) command += " " + word;
    return status < 0 ? command + " could not be run"
                      : command + " failed (exit status " + std::to_string(status) + ")";
}

}  // namespace

void ServiceControl::Set(int member, Value value) {
    if (member == kMemberServiceName && std::holds_alternative<std::string>(value)) {
        service_name_ = std::get<std::string>(value);
    } else if (member == kMemberDisplayName && std::holds_alternative<std::string>(value)) {
        display_name_ = std::get<std::string>(value);
    } else if (member == kMemberStartMode && std::holds_alternative<std::int32_t>(value)) {
        start_mode_ = std::get<std::int32_t>(value);
    }
    settings_.emplace_back(member, std::move(value));
}

std::string ServiceControl::UnitName() const { return UnitNameOf(service_name_); }

std::string ServiceControl::UnitPath() const {
    return WithTrailingSlash(platform_.UnitFolder()) + UnitName();
}

bool ServiceControl::Install() {
    last_error_.clear();
    const std::string executable = platform_.ExecutablePath();
    const std::string folder = FolderOf(executable);
    // The configuration check of the same installation, when it has one.
    const std::string check = WithTrailingSlash(folder) + kCheckProgramName;
    const UnitSettings unit{display_name_, executable, folder, UnitName(),
                            FileExists(check) ? check : ""};
    std::string why;
    std::optional<std::string> text = UnitFileText(unit, &why);
    if (!text) {
        last_error_ = "no unit file can run this program: " + why;
        return false;
    }
    if (auto other =
            UnitOfAnotherProgram(unit, platform_.UnitFolder(), platform_.UnitSearchPath())) {
        last_error_ = "not installed: " + *other;
        return false;
    }
    const std::string path = UnitPath();
    errno = 0;
    if (!Fs().WriteFile(path, *text)) {
        last_error_ =
            "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    if (platform_.SystemctlUsable()) {
        std::vector<std::vector<std::string>> calls{{"daemon-reload"}};
        if (start_mode_ == kStartModeAutomatic) calls.push_back({"enable", UnitName()});
        for (const auto& arguments : calls) {
            if (int status = platform_.Systemctl(arguments); status != 0) {
                last_error_ = path + " was written, but " + SystemctlFailure(arguments, status);
                return false;
            }
        }
    }
    return true;
}

bool ServiceControl::Uninstall() {
    last_error_.clear();
    const std::string path = UnitPath();
    if (!Fs().PathExists(path)) {
        last_error_ = path + " is not there";
        return false;
    }
    // Another copy's unit, or a mask, is not this program's to remove.
    const std::string executable = platform_.ExecutablePath();
    if (auto other =
            UnitOfAnotherProgram({display_name_, executable, FolderOf(executable), UnitName(), ""},
                                 platform_.UnitFolder(), {})) {
        last_error_ = "not removed: " + *other;
        return false;
    }
    const bool systemctl = platform_.SystemctlUsable();
    if (systemctl) {
        // A unit whose service could not be stopped or disabled stays, so
        // that systemd never runs a service it has no file for.
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"stop", UnitName()}, {"disable", UnitName()}}) {
            if (int status = platform_.Systemctl(arguments); status != 0) {
                last_error_ = SystemctlFailure(arguments, status) + "; " + path + " is kept";
                return false;
            }
        }
    }
    errno = 0;
    const bool removed = Fs().Remove(path);
    if (!removed) {
        last_error_ =
            "cannot remove " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
    }
    if (systemctl) platform_.Systemctl({"daemon-reload"});
    return removed;
}

void ServiceControl::StartService() {
    if (platform_.UnderServiceManager()) platform_.Notify("READY=1");
    Post(ServiceEvent::kStart);
}

void ServiceControl::LogEvent(std::int16_t event_type, std::int32_t event_id,
                              const std::string& text) {
    int priority = event_type == kEventTypeError     ? LOG_ERR
                   : event_type == kEventTypeWarning ? LOG_WARNING
                                                     : LOG_INFO;
    // syslog is UTF-8 and one entry per line, as the error log is.
    platform_.SystemLog(priority, "event " + std::to_string(event_id) + ": " + LogLineText(text));
}

void ServiceControl::Acknowledge(ServiceEvent event, bool success) {
    if (!platform_.UnderServiceManager()) return;
    switch (event) {
        case ServiceEvent::kStop:
            platform_.Notify("STOPPING=1");
            break;
        case ServiceEvent::kPause:
        case ServiceEvent::kStart:
        case ServiceEvent::kContinue:
            if (!success) break;
            paused_ = event == ServiceEvent::kPause;
            platform_.Notify("STATUS=" + StatusLine());
            break;
    }
}

void ServiceControl::ShowStatus(std::string facts) {
    facts_ = std::move(facts);
    if (platform_.UnderServiceManager()) platform_.Notify("STATUS=" + StatusLine());
}

std::string ServiceControl::StatusLine() const {
    if (paused_) return "Paused: the stop watchdog is off" + (facts_.empty() ? "" : "; " + facts_);
    return "Running" + (facts_.empty() ? "" : ": " + facts_);
}

std::optional<ServiceEvent> ServiceControl::TakeEvent() {
    if (signals_.Pending()) {
        for (int number : signals_.Take()) {
            switch (number) {
                // A hang-up of the terminal the pump runs on stops it too, so
                // that no report is cut off in the middle (unless it was
                // started with the hang-up ignored: then it never comes).
                case SIGTERM:
                case SIGINT:
                case SIGHUP:
                    posted_.push_back(ServiceEvent::kStop);
                    break;
                case SIGUSR1:
                    posted_.push_back(ServiceEvent::kPause);
                    break;
                case SIGUSR2:
                    posted_.push_back(ServiceEvent::kContinue);
                    break;
                default:
                    break;
            }
        }
    }
    if (posted_.empty()) return std::nullopt;
    ServiceEvent event = posted_.front();
    posted_.pop_front();
    return event;
}

}  // namespace kolbi
