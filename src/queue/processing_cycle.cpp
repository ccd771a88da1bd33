#include "queue/processing_cycle.h"

#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/folder_lock.h"
#include "common/folder_pass.h"
#include "common/pending_events.h"
#include "common/pump_metrics.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "common/status_text.h"
#include "db/db_connect.h"
#include "report/do_log.h"

namespace kolbi {
namespace {

// Compressed files whose report was decompressed but which could be neither
// deleted nor set aside, as they were then: decoding them again at every
// cycle would apply the same report over and over (and, with two reports of
// one workstation, flip its links between them). A file written to since
// has another identity and is taken again.
std::map<std::string, FileIdentity>& DecodedButKept() {
    static std::map<std::string, FileIdentity> kept;
    return kept;
}

// True when the file changed within the settle time: an agent may still be
// writing it over the share.
bool MayStillBeWritten(const FileIdentity& identity) {
    return CurrentClock().WallNow() - identity.modified < SettleTime();
}

// Sets a compressed file aside and reports why through the cycle's
// procedure; one that stays where it is waits for a later cycle.
void SetAsideCompressed(Procedure& Timer1_Timer, const std::string& path, const RuntimeError& why) {
    bool moved = false;
    Timer1_Timer.Run([&] { throw SetAside(path, why, moved); });
}

// A compressed file decoded, whose report waits to be published.
struct Decoded {
    std::string name;
    FileIdentity identity;  // of the compressed file as it was read
};

// Reports are published in batches: two waits for the disk per batch instead
// of two per report, the largest cost of a small report. A batch stays small
// enough in memory, and a stop asked for meanwhile loses nothing: the
// compressed files of a batch not yet published are still there.
constexpr std::size_t kReportsPerBatch = 64;
constexpr std::size_t kBytesPerBatch = 8u << 20;

class DecodedBatch {
public:
    bool Full() const { return decoded_.size() >= kReportsPerBatch || bytes_ >= kBytesPerBatch; }
    void Add(Decoded decoded, std::string report) {
        bytes_ += report.size();
        Publication file;
        file.name = decoded.name;
        file.bytes = std::move(report);
        files_.push_back(std::move(file));
        decoded_.push_back(std::move(decoded));
    }
    // Publishes the reports in the decompressed folder and disposes of the
    // compressed file of each report that is there for good. False when the
    // batch was empty.
    bool Publish(Procedure& Timer1_Timer);

private:
    std::vector<Decoded> decoded_;
    std::vector<Publication> files_;
    std::size_t bytes_ = 0;
};

// Reads and decodes one compressed file. The report is taken only whole: a
// stream that is not complete waits while it may still be written, then
// goes to FAILED with the line the pump always wrote for a file that decoded
// to nothing ("file not found" for its decompressed twin). Whatever stays
// on disk waits for a later cycle: the cycle takes each name once.
void DecodeCompressedFile(QueueWindow& form, Procedure& Timer1_Timer, const std::string& name,
                          DecodedBatch& batch) {
    const std::string compressed = Settings().IncomingFolder + name;
    const std::string decompressed = DecompressedFolder() + name;
    // Listed at the start of the cycle, it may have gone since (an operator,
    // a pump that held the folder before this one): nothing to take then.
    const std::optional<FileIdentity> identity = Fs().Identity(compressed);
    if (!identity) return;
    if (Fs().IsLink(compressed)) {
        SetAsideCompressed(Timer1_Timer, compressed, FileError(ELOOP, compressed));
        return;
    }
    const auto kept = DecodedButKept().find(name);
    if (kept != DecodedButKept().end()) {
        if (kept->second == *identity) return;
        DecodedButKept().erase(kept);
    }

    std::optional<std::string> content;
    int error = 0;
    Timer1_Timer.Run([&] {
        content = Fs().ReadQueuedFile(compressed);
        if (!content) error = errno;
    });
    if (!content && error != EFBIG) {
        if (error == ENOENT) return;
        if (error == ELOOP || error == EINVAL) {
            SetAsideCompressed(Timer1_Timer, compressed, FileError(error, compressed));
            return;
        }
        // The real reason, and the file stays for a later cycle: an agent's
        // file the pump may not read yet is no file to throw away.
        Timer1_Timer.Run([&] { throw FileError(error, compressed); });
        return;
    }

    std::optional<std::string> report;
    if (content) Timer1_Timer.Run([&] { report = form.Huffman().DecodeComplete(*content); });
    content.reset();
    if (!report) {
        if (MayStillBeWritten(*identity)) return;
        SetAsideCompressed(
            Timer1_Timer, compressed,
            RuntimeError(errnum::kFileNotFound, "File not found: " + decompressed + " (" + name +
                                                    " holds no complete HE3 stream)"));
        return;
    }
    batch.Add({name, *identity}, std::move(*report));
}

// The compressed file goes only once its report is durable in the
// decompressed folder, and only if it is still the file that was read, so a
// crash, a full disk or an agent dropping a new version meanwhile at any
// moment leaves every report on disk. A report whose twin still waits in the
// decompressed folder is left for the next cycle, after the pass has taken
// the twin.
bool DecodedBatch::Publish(Procedure& Timer1_Timer) {
    if (decoded_.empty()) return false;
    Timer1_Timer.Run([&] { PublishFilesDurably(DecompressedFolder(), files_); });
    for (std::size_t i = 0; i < decoded_.size(); ++i) {
        const Publication& file = files_[i];
        if (file.outcome == Publication::Outcome::kFailed && file.error) {
            Timer1_Timer.Run([&] { throw *file.error; });
        }
        if (file.outcome != Publication::Outcome::kPublished) continue;
        const std::string compressed = Settings().IncomingFolder + decoded_[i].name;
        if (Fs().Identity(compressed) != decoded_[i].identity) continue;  // a new version came
        const bool disposed = Timer1_Timer.Run([&] {
            DisposeOf(compressed,
                      "its report is decompressed, and it is left alone until it changes");
        });
        if (!disposed) DecodedButKept()[decoded_[i].name] = decoded_[i].identity;
    }
    decoded_.clear();
    files_.clear();
    bytes_ = 0;
    return true;
}

// The decompressed folder is the pump's own: it is made when missing, and
// one that is a link is not used, so nothing outside the pump's folders is
// written, read or deleted. False when it cannot be used.
bool DecompressedFolderUsable() {
    const std::string folder = DecompressedFolder();
    if (Fs().IsLink(folder)) {
        throw RuntimeError(errnum::kPathNotFound,
                           "Path not found: " + folder +
                               " is a symbolic link, not a folder of the pump's; nothing is "
                               "decompressed into it or read from it");
    }
    if (!Fs().IsFolder(folder) && !Fs().CreateFolder(folder)) throw FileError(errno, folder);
    return true;
}

// The cycle's steps. True when it ran to its end: not standing by, not left
// after a date-format switch.
bool CycleSteps(QueueWindow& form, Procedure& Timer1_Timer) {
    Procedure& step = Timer1_Timer;
    step.Run([&] { form.SetTimer1Enabled(false); });
    step.Run([&] { form.SetTimerServiceEnabled(false); });
    step.Run([&] { Settings().IncomingFolder = WithTrailingSlash(Settings().incomingFilesPath); });
    // A second pump on this folder stands by until the first one ends. It
    // says so once, and again whenever the reason changes.
    static std::string standing_by_for;
    std::string why_not;
    if (!HoldIncomingFolder(&why_not)) {
        if (why_not != standing_by_for) {
            standing_by_for = why_not;
            step.Run([&] {
                throw RuntimeError(errnum::kPermissionDenied,
                                   "Permission denied: the incoming folder " +
                                       Settings().IncomingFolder + " is not this pump's to take (" +
                                       why_not + "); it stands by");
            });
        }
        step.Run([&] { SetStatusText(kStandbyText); });
        step.Run([&] { form.SetTimer1Enabled(true); });
        step.Run([&] { form.SetTimerServiceEnabled(true); });
        return false;
    }
    standing_by_for.clear();
    step.Run([&] { form.lfLogCode.Refresh(); });
    step.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    bool usable = false;
    step.Run([&] { usable = DecompressedFolderUsable(); });
    if (usable) step.Run([&] { Do_Log(form); });
    step.Run([&] { LetPendingEventsRun(); });
    step.Run([&] { form.NewHuffman(); });
    step.Run([&] {
        SetStatusText("D\u00E9compression des " + std::to_string(form.lfLogCode.ListCount()) +
                      " fichier(s) re\u00E7u(s)...");
    });
    // Each compressed file once, in name order; one that waits for a later
    // cycle (an agent still writing it, a file the pump may not read, one
    // that could not be disposed of) is not tried again, so the queue never
    // turns on it.
    FolderPass waiting(form.lfLogCode);
    DecodedBatch batch;
    while (usable) {
        if (step.Left()) return false;
        std::optional<std::string> name;
        step.Run([&] { name = waiting.Next(); });
        if (!name) break;
        DecodeCompressedFile(form, step, *name, batch);
        if (batch.Full()) batch.Publish(step);
        step.Run([&] { LetPendingEventsRun(); });
        form.EndIfUnloadPending();
    }
    if (step.Left()) return false;
    // The last reading of the folder still showed the files of this batch:
    // what waits is read again once they have gone.
    if (batch.Publish(step)) step.Run([&] { form.lfLogCode.Refresh(); });
    if (step.Left()) return false;
    if (usable) step.Run([&] { Do_Log(form); });
    step.Run([&] { SetStatusText("Fermeture de la connexion \u00E0 la base."); });
    step.Run([&] { CloseAndReleaseDBConnection(); });
    step.Run([&] { form.SetTimer1Enabled(true); });
    step.Run([&] { SetStatusText(""); });
    step.Run([&] { form.SetTimerServiceEnabled(true); });
    return !step.Left();
}

// What the cycle leaves waiting goes into the metrics, and the metrics into
// their file when there is one. A cycle that ran to its end counts what its
// passes over both folders read last, when they ran out (files landing in
// the incoming folder during the last pass over reports are counted by the
// next cycle); a listing as old as the one of a pump standing by is read
// again. A file that cannot be written is reported even after a date-format
// switch, which leaves the cycle's own procedure.
void RecordCycle(QueueWindow& form, bool completed) {
    int compressed = 0;
    int decompressed = 0;
    (void)RunAbsorbed([&] {
        if (!completed) {
            form.lfLogCode.Refresh();
            form.lfLog.Refresh();
        }
        compressed = form.lfLogCode.ListCount();
        decompressed = form.lfLog.ListCount();
    });
    Metrics().CycleEnded(completed, compressed, decompressed);
    if (Settings().MetricsFile.empty()) return;
    Procedure write("in procedure Timer1_Timer of Feuille Form1", AfterReport::kContinue);
    write.Run([] { WriteMetricsFile(Settings().MetricsFile, Metrics().PrometheusText()); });
}

}  // namespace

void ProcessingCycle(QueueWindow& form, Procedure& Timer1_Timer) {
    Metrics().CycleStarted();
    RecordCycle(form, CycleSteps(form, Timer1_Timer));
}

void CloseIdleConnection() {
    if (DBConnected()) CloseDBConnection();
}

}  // namespace kolbi
