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
    // Numbers keep their "." in everything the process reads and writes (the
    // ODBC drivers included), whatever decimal mark the host's language uses.
    std::setlocale(LC_NUMERIC, "C");

    kolbi::LinuxServicePlatform platform;
    kolbi::ProcessPriority priority;
    kolbi::PumpHost host(platform, priority, {});
    host.Load(kolbi::CommandLineText(argc, argv));
    host.Run();
}
