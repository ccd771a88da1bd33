#pragma once

#include <string>
#include <utility>
#include <vector>

#include "service/service_platform.h"

namespace kolbi::testing {

// A service platform that records what the pump asks of systemd and syslog.
class FakeServicePlatform : public ServicePlatform {
public:
    std::string executable = "/opt/kolbi/kolbipump";
    std::string unit_folder = "/nonexistent-unit-folder";
    bool systemctl_usable = false;
    bool under_manager = false;
    int systemctl_status = 0;  // what every systemctl call returns

    std::vector<std::vector<std::string>> systemctl_calls;
    std::vector<std::string> notifications;
    std::vector<std::pair<int, std::string>> log_entries;  // syslog priority, text

    std::string ExecutablePath() override { return executable; }
    std::string UnitFolder() override { return unit_folder; }
    bool SystemctlUsable() override { return systemctl_usable; }
    int Systemctl(const std::vector<std::string>& arguments) override {
        systemctl_calls.push_back(arguments);
        return systemctl_status;
    }
    bool UnderServiceManager() override { return under_manager; }
    void Notify(const std::string& state) override { notifications.push_back(state); }
    void SystemLog(int priority, const std::string& text) override {
        log_entries.emplace_back(priority, text);
    }
};

}  // namespace kolbi::testing
