#include "queue/processing_cycle.h"

#include <set>
#include <string>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/pending_events.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "common/status_text.h"
#include "db/db_connect.h"
#include "report/do_log.h"

namespace kolbi {
namespace {

// The length of a file; asking for that of a missing file is the run-time
// error "File not found", as it always was.
std::uint64_t FileLen(const std::string& path) {
    std::optional<std::uint64_t> length = Fs().FileLength(path);
    if (!length) throw RuntimeError(errnum::kFileNotFound, "File not found: " + path);
    return *length;
}

// The first compressed file not yet given up on in this cycle, or "".
std::string FirstWaiting(const FolderFileList& listing, const std::set<std::string>& stuck) {
    for (const std::string& name : listing.Names()) {
        if (!stuck.count(name)) return name;
    }
    return {};
}

// Decompresses one compressed file into the decompressed folder and disposes
// of it. Each test and action is a step of its own: a failed length test goes
// on with the action it guarded, so a missing or empty report is cleared away
// all the same.
void TakeCompressedFile(QueueWindow& form, Procedure& Timer1_Timer, const std::string& name) {
    const std::string compressed = Settings().IncomingFolder + name;
    const std::string decompressed = DecompressedFolder() + name;
    bool has_data = true;
    Timer1_Timer.Run([&] { has_data = FileLen(compressed) != 0; });
    if (Timer1_Timer.Left()) return;
    if (has_data) Timer1_Timer.Run([&] { form.Huffman().DecodeFile(compressed, decompressed); });
    bool decoded_empty = true;
    Timer1_Timer.Run([&] { decoded_empty = FileLen(decompressed) == 0; });
    if (Timer1_Timer.Left()) return;
    if (decoded_empty) Timer1_Timer.Run([&] { DeleteOrMoveToFailed(decompressed); });
    Timer1_Timer.Run([&] { DeleteOrMoveToFailed(compressed); });
}

}  // namespace

void ProcessingCycle(QueueWindow& form, Procedure& Timer1_Timer) {
    Procedure& step = Timer1_Timer;
    step.Run([&] { form.SetTimer1Enabled(false); });
    step.Run([&] { form.SetTimerServiceEnabled(false); });
    step.Run([&] { form.lfLogCode.Refresh(); });
    step.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    step.Run([&] { Settings().IncomingFolder = WithTrailingSlash(Settings().incomingFilesPath); });
    // Reports decoded into a subfolder that went away would be lost with
    // their compressed files.
    step.Run([&] {
        if (!Fs().IsFolder(DecompressedFolder())) Fs().CreateFolder(DecompressedFolder());
    });
    step.Run([&] { Do_Log(form); });
    step.Run([&] { LetPendingEventsRun(); });
    step.Run([&] { form.NewHuffman(); });
    step.Run([&] {
        SetStatusText("D\u00E9compression des " + std::to_string(form.lfLogCode.ListCount()) +
                      " fichier(s) re\u00E7u(s)...");
    });
    // Files that could be neither deleted nor moved aside stay listed; they
    // are left alone until the next cycle.
    std::set<std::string> stuck;
    for (;;) {
        if (step.Left()) return;
        const std::string name = FirstWaiting(form.lfLogCode, stuck);
        if (name.empty()) break;
        TakeCompressedFile(form, step, name);
        step.Run([&] { form.lfLogCode.Refresh(); });
        if (FirstWaiting(form.lfLogCode, stuck) == name) stuck.insert(name);
        step.Run([&] { LetPendingEventsRun(); });
        form.EndIfUnloadPending();
    }
    step.Run([&] { form.lfLog.Refresh(); });
    step.Run([&] { Do_Log(form); });
    step.Run([&] { SetStatusText("Fermeture de la connexion \u00E0 la base."); });
    step.Run([&] { CloseAndReleaseDBConnection(); });
    step.Run([&] { form.SetTimer1Enabled(true); });
    step.Run([&] { SetStatusText(""); });
    step.Run([&] { form.SetTimerServiceEnabled(true); });
}

void CloseIdleConnection() {
    if (DBConnected()) CloseDBConnection();
}

}  // namespace kolbi
