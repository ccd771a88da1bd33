#include "service/service_platform.h"

#include <spawn.h>
#include <sys/wait.h>
#include <syslog.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iterator>

#include "common/file_helpers.h"

extern char** environ;

namespace kolbi {
namespace {

constexpr const char* kDefaultUnitFolder = "/etc/systemd/system";
// Where systemd looks for system units, the admin's folder first and the
// packages' last.
constexpr const char* kUsualUnitFolders[] = {
    kDefaultUnitFolder,        "/run/systemd/system", "/usr/local/lib/systemd/system",
    "/usr/lib/systemd/system", "/lib/systemd/system",
};

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
        if (!folder.empty() && ::access((WithTrailingSlash(folder) + program).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

}  // namespace

std::string FirstUnitFolder(const std::string& unit_path) {
    return unit_path.substr(0, unit_path.find(':'));
}

std::vector<std::string> UnitPathFolders(const std::string& unit_path) {
    std::vector<std::string> folders;
    size_t start = 0;
    for (;;) {
        const size_t end = unit_path.find(':', start);
        if (end == std::string::npos) {
            if (start == unit_path.size()) {
                folders.insert(folders.end(), std::begin(kUsualUnitFolders),
                               std::end(kUsualUnitFolders));
            } else {
                folders.push_back(unit_path.substr(start));
            }
            return folders;
        }
        if (end > start) folders.push_back(unit_path.substr(start, end - start));
        start = end + 1;
    }
}

std::string LinuxServicePlatform::ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string LinuxServicePlatform::UnitFolder() {
    const char* unit_path = std::getenv("SYSTEMD_UNIT_PATH");
    std::string first = unit_path ? FirstUnitFolder(unit_path) : std::string();
    return first.empty() ? kDefaultUnitFolder : first;
}

std::vector<std::string> LinuxServicePlatform::UnitSearchPath() {
    const char* unit_path = std::getenv("SYSTEMD_UNIT_PATH");
    return UnitPathFolders(unit_path ? unit_path : "");
}

bool LinuxServicePlatform::SystemctlUsable() { return ::sd_booted() > 0 && OnPath("systemctl"); }

int LinuxServicePlatform::Systemctl(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"systemctl"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, "systemctl", nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool LinuxServicePlatform::UnderServiceManager() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

void LinuxServicePlatform::Notify(const std::string& state) { (void)::sd_notify(0, state.c_str()); }

void LinuxServicePlatform::SystemLog(int priority, const std::string& text) {
    static bool opened = false;
    if (!opened) {
        opened = true;
        static const std::string ident = ExecutableName();
        ::openlog(ident.c_str(), LOG_PID, LOG_DAEMON);
    }
    ::syslog(priority, "%s", text.c_str());
}

}  // namespace kolbi
