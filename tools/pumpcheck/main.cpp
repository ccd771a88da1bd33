// kolbipump-check: says whether the pump can start, before it is started. A
// unit runs it as ExecStartPre=, so that a broken setup fails `systemctl
// start` with the reason in the journal instead of a pump that ends at once.
#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/file_helpers.h"
#include "log/procedure.h"
#include "pumpcheck/setup_checks.h"

namespace {

constexpr const char* kUsage =
    "usage: kolbipump-check [--folder DIR]\n"
    "Checks what the pump needs to start, in this order, and stops at the\n"
    "first failure: KolbiPumps.ini is there and readable; it names a data\n"
    "source and an incoming folder; the incoming folder (and its \"incoming\"\n"
    "subfolder) can be listed and written, and so can the program folder; the\n"
    "data source connects; its schema is current.\n"
    "The program folder is the pump's own (where it reads KolbiPumps.ini),\n"
    "or DIR.\n"
    "Exit status: 0 all passed (a summary on standard output), 1 a check\n"
    "failed (the reason on standard error), 2 bad usage.\n";

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
            folder = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kolbipump-check: unknown argument %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");

    // The first failure is the operator's one line; nothing after it runs.
    std::string reason;
    kolbi::Procedure check(
        "", [](const kolbi::RuntimeError&) { return kolbi::AfterReport::kLeave; },
        [&](const kolbi::RuntimeError& error, std::string_view) { reason = error.description(); });
    kolbi::SetupFacts facts;
    check.Run([&] { facts = kolbi::CheckSetup(folder.empty() ? kolbi::AppFolder() : folder); });
    if (check.Left()) {
        std::fprintf(stderr, "kolbipump-check: %s\n", reason.c_str());
        return 1;
    }
    std::printf(
        "ok: %s, %s (%s), incoming folder %s (%d compressed and %d decompressed "
        "report(s) waiting), schema current\n",
        facts.ini_file.c_str(), facts.data_source.c_str(), facts.dbms.c_str(),
        facts.incoming_folder.c_str(), facts.compressed_waiting, facts.decompressed_waiting);
    return 0;
}
