// kolbipump-once: the pump's work run once in the foreground, without a
// screen or a service manager, for demos, benchmarks and scripts. It does
// what the START button does (the start of processing, then processing
// ticks) until the incoming folder holds no compressed report, then says
// what it did and what the inventory database holds.
//
// Like kolbipump it reads KolbiPumps.ini from its own folder and writes its
// error log there, so it is copied beside the pump it stands in for.
#include <langinfo.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "common/program_end.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/recordset.h"
#include "db/statement_trace.h"
#include "service/process_priority.h"
#include "service/pump_host.h"
#include "service/service_platform.h"

namespace {

constexpr const char* kUsage =
    "usage: kolbipump-once [--quiet] [--trace FILE]\n"
    "Runs the pump's start of processing and its processing cycles until the\n"
    "incoming folder holds no compressed report, then prints a summary read\n"
    "from the inventory database and the peak memory. Reads KolbiPumps.ini\n"
    "from its own folder. --trace writes every statement sent, with its\n"
    "values, to FILE (what bench/pipeline/bare_loop replays).\n"
    "Exit status: 0 done, 1 the pump ended on a failure (see its error log),\n"
    "2 bad usage.\n";

// Cycles that take no file at all mean the rest cannot be taken (files that
// can be neither read nor removed): the run stops there.
constexpr int kMaxIdleCycles = 2;
// A processing period longer than a 16-bit tick count never comes round.
constexpr int kMaxTicksPerCycle = 32767;

long long Count(const char* table) {
    kolbi::Recordset rs;
    kolbi::SqlText sql("SELECT COUNT(*) AS n FROM ");
    sql.Identifier(kolbi::DBConnection(), kolbi::DBConnection().FoldIdentifier(table));
    rs.Open(sql);
    return rs.Fields("n").AsInteger();
}

// The program's own peak resident memory. Not getrusage's ru_maxrss: that
// keeps the peak of the process before it ran this program, and a shell
// that has grown large (a script holding a long list of files) would be
// counted in.
long PeakMemoryKiB() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long peak = -1;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1) break;
        }
        std::fclose(status);
        if (peak >= 0) return peak;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void PrintSummary(int reports, double seconds) {
    std::printf("%d report(s) in %.2f s", reports, seconds);
    if (reports > 0 && seconds > 0) std::printf(" (%.0f reports/s)", reports / seconds);
    std::printf("\n");
    std::printf("peak memory %ld KiB\n", PeakMemoryKiB());
    kolbi::DBConnect();
    const std::pair<const char*, const char*> tables[] = {
        {"Postes", "workstations"},          {"SoftProduct", "catalogue entries"},
        {"PosteSoftware", "product links"},  {"Changement", "change alerts"},
        {"ODBC_Drv", "ODBC drivers"},        {"ODBC_DSN", "ODBC data sources"},
    };
    for (const auto& [table, meaning] : tables) {
        std::printf("  %8lld %-18s (%s)\n", Count(table), meaning, table);
    }
    kolbi::CloseAndReleaseDBConnection();
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    const char* trace_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quiet") == 0) {
            quiet = true;
        } else if (std::strcmp(argv[i], "--trace") == 0 && i + 1 < argc) {
            trace_path = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kolbipump-once: unknown argument %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");

    std::FILE* trace = nullptr;
    if (trace_path) {
        trace = std::fopen(trace_path, "w");
        if (!trace) {
            std::fprintf(stderr, "kolbipump-once: cannot write %s: %s\n", trace_path,
                         std::strerror(errno));
            return 1;
        }
        kolbi::TraceStatementsTo(trace);
    }

    kolbi::LinuxServicePlatform platform;
    kolbi::ProcessPriority priority;
    kolbi::PumpHost host(platform, priority, {.use_terminal = false});
    kolbi::Form1& form = host.form();

    // The pump ends itself on the failures it cannot go on from.
    kolbi::AtProgramEnd([] {
        std::fprintf(stderr, "kolbipump-once: the pump ended; its error log is in %s\n",
                     kolbi::Settings().AppFolder.c_str());
    });
    const auto start = std::chrono::steady_clock::now();
    int reports = 0;
    host.TimerStart_Timer();
    for (int idle_cycles = 0; idle_cycles < kMaxIdleCycles;) {
        form.lfLogCode.Refresh();
        const int waiting = form.lfLogCode.ListCount();
        if (waiting == 0) break;
        // Idle ticks count up to the configured period; the last one processes.
        for (int tick = 0; tick <= kMaxTicksPerCycle; ++tick) {
            host.Timer1_Timer();
            if (form.RefreshTicks == 0) break;
        }
        form.lfLogCode.Refresh();
        const int taken = std::max(waiting - form.lfLogCode.ListCount(), 0);
        reports += taken;
        idle_cycles = taken == 0 ? idle_cycles + 1 : 0;
        if (!quiet) std::printf("cycle: %d compressed report(s) taken\n", taken);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (trace) {
        kolbi::TraceStatementsTo(nullptr);
        std::fclose(trace);
    }
    try {
        PrintSummary(reports, seconds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kolbipump-once: no summary: %s\n", error.what());
        return 1;
    }
    return 0;
}
