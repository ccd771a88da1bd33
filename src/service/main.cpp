// kolbipump: the central collector of the software inventory.
#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "common/program_end.h"
#include "db/db_connect.h"
#include "service/command_line.h"
#include "service/pump_host.h"
#include "ui/form1_processing.h"

namespace {

// The work the timers start. The report pass and the processing cycle are
// still to come; an idle tick already gives back a database connection left
// open.
class PumpProcessing : public kolbi::NotBuiltProcessing {
public:
    void CloseIdleConnection() override {
        if (kolbi::DBConnected()) kolbi::CloseDBConnection();
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The screen's texts are UTF-8; a host left in the C locale still gets them.
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");

    kolbi::LinuxServicePlatform platform;
    kolbi::ProcessPriority priority;
    kolbi::PumpHost host(platform, priority, {});
    PumpProcessing processing;
    host.form().SetProcessing(&processing);
    host.Load(kolbi::CommandLineText(argc, argv));
    host.Run();
}
