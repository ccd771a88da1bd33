// kolbipump: the central collector of the software inventory.
#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "common/program_end.h"
#include "service/command_line.h"
#include "service/pump_host.h"

int main(int argc, char** argv) {
    // The screen's texts are UTF-8; a host left in the C locale still gets them.
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");

    kolbi::LinuxServicePlatform platform;
    kolbi::ProcessPriority priority;
    kolbi::PumpHost host(platform, priority, {});
    host.Load(kolbi::CommandLineText(argc, argv));
    host.Run();
}
