#pragma once

#include <string>
#include <vector>

namespace kolbi {

// The operating system's side of the service control: systemd and syslog.
// The only place that talks to them, so tests can put a fake in its place.
class ServicePlatform {
public:
    virtual ~ServicePlatform() = default;

    // Absolute path of the running executable.
    virtual std::string ExecutablePath() = 0;
    // The folder unit files are written to: the first folder of
    // $SYSTEMD_UNIT_PATH when it is set, else /etc/systemd/system.
    virtual std::string UnitFolder() = 0;
    // Every folder systemd takes units from: the folders of
    // $SYSTEMD_UNIT_PATH when it is set (the usual ones added when it ends
    // in ":"), else the usual ones (/etc/systemd/system ... /lib/systemd/system).
    virtual std::vector<std::string> UnitSearchPath() = 0;
    // True when systemctl is on the PATH and systemd is the running manager.
    virtual bool SystemctlUsable() = 0;
    // Runs systemctl with the arguments; its exit status (-1 when it could not run).
    virtual int Systemctl(const std::vector<std::string>& arguments) = 0;
    // True when the service manager started this process and listens for
    // notifications ($NOTIFY_SOCKET).
    virtual bool UnderServiceManager() = 0;
    // Sends a notification ("READY=1", "STOPPING=1", "STATUS=...").
    virtual void Notify(const std::string& state) = 0;
    // Writes one entry to the system log with a syslog priority.
    virtual void SystemLog(int priority, const std::string& text) = 0;
};

// systemd, syslog and the process's own environment.
class LinuxServicePlatform : public ServicePlatform {
public:
    std::string ExecutablePath() override;
    std::string UnitFolder() override;
    std::vector<std::string> UnitSearchPath() override;
    bool SystemctlUsable() override;
    int Systemctl(const std::vector<std::string>& arguments) override;
    bool UnderServiceManager() override;
    void Notify(const std::string& state) override;
    void SystemLog(int priority, const std::string& text) override;
};

// The first folder of a unit path list ("a:b:" gives "a"); empty when none.
std::string FirstUnitFolder(const std::string& unit_path);

// The folders of a unit path list, the usual ones in place of an empty last
// entry ("a:b:" gives a, b and the usual ones).
std::vector<std::string> UnitPathFolders(const std::string& unit_path);

}  // namespace kolbi
