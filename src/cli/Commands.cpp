// list, get, delete and sync.
#include "cli/Commands.h"

#include "cli/Names.h"
#include "cli/Output.h"
#include "cli/Printer.h"
#include "cli/Settle.h"
#include "cli/Status.h"
#include "cli/Texts.h"
#include "directory/ListingText.h"
#include "platform/file_reader.h"
#include "platform/localcopy.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/PdfNames.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <cstring>
#include <numeric>
#include <set>

namespace {

QbxClock::time_point DeadlineFor(const CliCommon& c)
{
    if (c.timeoutSeconds <= 0) return QbxClock::time_point::max();
    return QbxClock::now() + std::chrono::seconds(c.timeoutSeconds);
}

int StopStatus() { return 128 + static_cast<int>(g_nStopSignal); }

// Reads one answer typed at a prompt: the whole line, however long (what is typed
// past a fixed buffer would otherwise be taken as the answer to the next question).
// False at the end of input with nothing read.
bool ReadAnswerLine(std::FILE* in, std::string& line)
{
    line.clear();
    for (int ch; (ch = std::fgetc(in)) != EOF;) {
        if (ch == '\n') return true;
        if (line.size() < 256) line += static_cast<char>(ch);
    }
    return !line.empty();
}

// Whether an answer at the delete prompt says yes: it starts with "y" or the
// language's own letter for yes (as its prompt shows it), in either case.
bool IsYes(const std::string& answer)
{
    // TRANSLATORS: the letter that answers yes at the prompt "[y/N]" (as the prompt shows it).
    const std::string yes = Tr("quillbox-cli delete", "y");
    if (answer.empty()) return false;
    auto lower = [](const std::string& text) {
        std::string out = text;
        for (char& ch : out)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        return out;
    };
    const std::string a = lower(answer);
    return a[0] == 'y' || (!yes.empty() && a.compare(0, yes.size(), lower(yes)) == 0);
}

// Lists the user's files; prints the reason and gives the exit status on failure.
// The listing is also shown to settle, when given.
bool ListOrReport(CPrinterSession& s, CliDirectory& dir, const CliCommon& c, int& status,
                  CSettleTracker* settle = nullptr)
{
    std::string reason;
    const auto begun = QbxClock::now();
    if (s.List(dir, reason)) {
        if (settle) settle->Listed(dir.header, begun, QbxClock::now());
        if (dir.bFull && c.verbosity >= 0)
            std::fputs(TrF("quillbox-cli",
                           "quillbox-cli: the printer holds more than %d files for user %s; only the first %d "
                           "were listed\n",
                           QBX_MAX_DIR_ENTRIES, c.userID.c_str(), QBX_MAX_DIR_ENTRIES)
                           .c_str(),
                       stderr);
        if (dir.nOtherVolume > 0 && c.verbosity >= 0)
            std::fputs(TrF("quillbox-cli", "quillbox-cli: user %s: %s\n", c.userID.c_str(),
                           OtherVolumeText(dir.nOtherVolume).c_str())
                           .c_str(),
                       stderr);
        return true;
    }
    PrintFailure(TrF("quillbox-cli", "user %s", c.userID.c_str()), reason);
    status = g_nStopSignal ? StopStatus() : dir.bRefused ? QBX_EXIT_REFUSED : QBX_EXIT_PRINTER;
    return false;
}

std::vector<int> SortedOrder(const DirHeader& dir, int key)
{
    std::vector<int> order(static_cast<std::size_t>(dir.count));
    std::iota(order.begin(), order.end(), 0);
    if (!order.empty()) SortDirectoryOrder(dir, key ? key : QBX_SORT_NAME, order.data());
    return order;
}

bool IsFolder(const std::string& path) { return FolderExists(path.c_str()) != FALSE; }

std::string InFolder(const std::string& folder, const std::string& name) { return FolderPrefix(folder) + name; }

std::string Field(const char* f, std::size_t size) { return std::string(f, strnlen(f, size)); }

// The stable names of records, for a message: "A, B".
std::string StableNames(const DirHeader& dir, const std::vector<int>& records)
{
    std::string text;
    for (int i : records) text += (text.empty() ? "" : ", ") + StableName(dir.entries[i]);
    return text;
}

// Records named on the command line (by stable name, printer path or a display name
// that only one scan has), in the order given; a name that matches nothing, more than
// one scan, or carries a duplicate number is reported and counted as a failure. With
// typed, it gets the name given for each record picked.
std::vector<int> PickRecords(const DirHeader& dir, const std::vector<std::string>& names, int& failures,
                             std::vector<std::string>* typed = nullptr)
{
    std::vector<int> picked;
    for (const std::string& want : names) {
        NamePick pick = PickByName(dir, want);
        switch (pick.kind) {
        case NamePick::Found:
            if (std::find(picked.begin(), picked.end(), pick.index) == picked.end()) {
                picked.push_back(pick.index);
                if (typed) typed->push_back(want);
            }
            continue;
        case NamePick::NotFound:
            PrintFailure(want, Tr("quillbox-cli, file", "not on the printer for this user (see quillbox-cli list)"));
            break;
        case NamePick::Ambiguous:
            PrintFailure(want,
                         TrF("quillbox-cli, file",
                             "names %d scans on the printer; nothing was done to any of them. Name one by its "
                             "stable name: %s",
                             static_cast<int>(pick.candidates.size()), StableNames(dir, pick.candidates).c_str()));
            break;
        case NamePick::DupNumbered:
            PrintFailure(want, TrF("quillbox-cli, file",
                                   "a duplicate number is a place in today's listing and moves to another scan when "
                                   "one is deleted; nothing was done. Name the scan by its stable name: %s",
                                   StableNames(dir, pick.candidates).c_str()));
            break;
        }
        ++failures;
    }
    return picked;
}

std::unique_ptr<CProgressBar> MakeBar(const CliCommon& c)
{
    if (!c.terminal || c.verbosity < 0) return nullptr;
    return std::make_unique<CProgressBar>(stderr);
}

// A file whose deletion job went out; whether it is gone is known only once the
// printer lists its files again.
struct SentDeletion {
    DirEntry entry;
    std::string label;
};

// Lists the user's files once more after a run's deletion jobs: a file still listed
// was not deleted, whatever the connection said, and gets a line on stderr. Each file
// that is gone is reported as deleted (on stdout with toStdout, else on stderr when
// verbose) and counted in tally. Returns the number of files not deleted.
int ConfirmDeletions(CPrinterSession& s, const CliCommon& c, const std::vector<SentDeletion>& sent, bool toStdout,
                     CliTally& tally)
{
    if (sent.empty()) return 0;
    CliDirectory now;
    std::string reason;
    bool listed = s.List(now, reason);
    int failures = 0;
    for (const SentDeletion& d : sent) {
        bool there = !listed;
        for (int i = 0; i < now.header.count && !there; ++i)
            there = Field(now.entries[i].path, sizeof now.entries[i].path) == Field(d.entry.path, sizeof d.entry.path);
        const std::string refusal = s.DeletionRefusal(d.entry);
        if (there && !refusal.empty()) {
            // The printer said why: deleting again would only be refused again.
            const bool accessOff = DescribePrinterError(refusal).compare(0, 13, "invalidaccess") == 0;
            PrintFailure(d.label,
                         accessOff
                             ? TrF("quillbox-cli, file",
                                   "the printer refused to delete it (%s): not deleted. Its file-system access "
                                   "may be switched off for deleting; ask the printer's administrator to allow it",
                                   DescribePrinterError(refusal).c_str())
                             : TrF("quillbox-cli, file",
                                   "the printer refused to delete it (%s): not deleted; try again, and if it "
                                   "happens again, delete it at the printer",
                                   DescribePrinterError(refusal).c_str()));
        } else if (!listed) {
            PrintFailure(d.label, TrF("quillbox-cli, file",
                                      "its deletion job was sent, but the printer could not be listed again to see "
                                      "whether it is gone (%s); list to check before you count on it",
                                      reason.c_str()));
        } else if (there) {
            PrintFailure(d.label, Tr("quillbox-cli, file",
                                     "still on the printer after its deletion job: not deleted; delete it again"));
        } else if (now.bFull) {
            PrintFailure(d.label, Tr("quillbox-cli, file",
                                     "not confirmed deleted: the printer lists more files than can be checked; delete "
                                     "it again"));
        } else {
            ++tally.deleted;
            if (toStdout)
                std::fputs(TrF("quillbox-cli, file", "deleted %s\n", Shown(d.label).c_str()).c_str(), stdout);
            else if (c.verbosity > 0)
                std::fputs(
                    TrF("quillbox-cli, file", "quillbox-cli: %s: deleted on the printer\n", Shown(d.label).c_str())
                        .c_str(),
                    stderr);
            continue;
        }
        ++failures;
    }
    std::fflush(stdout);
    return failures;
}

// Why e (as first listed) is not taken: the last listing showed it at another size, or
// not at all. Always false.
bool StillBeingWritten(const CSettleTracker& settle, const DirEntry& e, QbxClock::time_point since, std::string& reason)
{
    const std::string size = Field(e.size, sizeof e.size);
    const std::string now = settle.LastSize(e);
    if (now.empty()) {
        reason = Tr("quillbox-cli, file", "no longer on the printer when it was listed again; nothing was copied");
        return false;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::seconds>(QbxClock::now() - since).count();
    const int settleSeconds = static_cast<int>(settle.SettleTime().count());
    if (waited > 0)
        reason = TrF("quillbox-cli, file",
                     "the printer is still writing it (%s bytes when listed, %s bytes %d s later); it was left there "
                     "and nothing was copied: it is fetched once the scan is finished (settle time %d s, --settle)",
                     size.c_str(), now.c_str(), static_cast<int>(waited), settleSeconds);
    else
        reason = TrF("quillbox-cli, file",
                     "the printer is still writing it (%s bytes when listed, %s bytes later); it was left there and "
                     "nothing was copied: it is fetched once the scan is finished (settle time %d s, --settle)",
                     size.c_str(), now.c_str(), settleSeconds);
    return false;
}

// Before a file is fetched to be deleted: true once two listings at least the settle
// time apart showed it at its listed size. A file not yet proved so is waited for
// (until the settle time has passed since its first sighting) and the printer listed
// again; a file whose size changed meanwhile is being written still and false says
// so in reason (nothing fetched, nothing deleted).
bool AwaitSettled(CPrinterSession& s, CSettleTracker& settle, const DirEntry& e, std::string& reason)
{
    if (settle.Settled(e)) return true;
    const std::string size = Field(e.size, sizeof e.size);
    // A later listing of this batch (made for another file) may already have seen it
    // change: this is said without waiting again.
    const auto firstLook = QbxClock::now();
    if (settle.LastSize(e) != size) return StillBeingWritten(settle, e, firstLook, reason);
    const auto at = settle.SettlesAt(e);
    if (at > s.Deadline()) {
        reason = Tr("quillbox-cli, file",
                    "it was listed too short a time ago to tell whether the printer is still writing it, and the "
                    "time limit (--timeout) ends first; it was left there and nothing was copied");
        return false;
    }
    const auto began = QbxClock::now();
    while (!g_nStopSignal && QbxClock::now() < at) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - QbxClock::now()).count();
        if (IStatusLine* line = CliStatus())
            line->Show(TrF("quillbox-cli, status", "Waiting for scans still being written… %d s",
                           static_cast<int>((left + 999) / 1000)));
        SleepUnlessStopped(static_cast<int>(std::min<long long>(left, 250)));
    }
    if (IStatusLine* line = CliStatus()) line->Clear();
    if (g_nStopSignal) {
        reason = Tr("quillbox-cli, file",
                    "stopped by a signal while waiting to see whether the printer is still writing it");
        return false;
    }
    CliDirectory again;
    std::string why;
    const auto begun = QbxClock::now();
    if (!s.List(again, why)) {
        reason = TrF("quillbox-cli, file",
                     "the printer could not be listed again to see whether it is still writing it (%s); it was left "
                     "there and nothing was copied",
                     why.c_str());
        return false;
    }
    settle.Listed(again.header, begun, QbxClock::now());
    if (settle.Settled(e)) return true;
    return StillBeingWritten(settle, e, began, reason);
}

struct BatchResult {
    int failures = 0;
    std::vector<SentDeletion> deleted;  // deletion jobs sent, not yet confirmed
    bool cutShort = false;              // a stop signal left files of the batch undone
};

// Copies the records of picked into folder at dests (empty: no usable name). With
// keepCopies (sync), a regular file of the listed size at a destination is taken for
// the copy an earlier run made: it is passed over, or with deleteAfter compared with
// the printer's file and the original deleted only when they are equal; anything else
// in the way is left alone and the file fails. A stop signal ends the batch. tally
// counts the copies and the files already there for the summary line.
BatchResult CopyBatch(CPrinterSession& s, const CliCommon& c, const DirHeader& dir, const std::vector<int>& picked,
                      const std::vector<std::string>& dests, const std::string& folder, bool deleteAfter,
                      bool overwrite, bool keepCopies, CSettleTracker& settle, CliTally& tally)
{
    BatchResult result;
    // Names as the folder's file system may compare them, and the files this batch
    // wrote by identity: two scans never end in one file, however the folder folds case.
    std::set<std::string> used;
    CopyRun run;
    auto bar = MakeBar(c);
    auto fail = [&](const std::string& label, const std::string& reason) {
        PrintFailure(label, reason);
        ++result.failures;
    };
    // A copy already at local (the printer's TIFF, or the PDF made of it) is counted;
    // with deleteAfter it is first compared with the printer's file once that has
    // settled, and the scan deleted only when they are equal. False when a stop
    // signal ends the batch.
    auto alreadyCopied = [&](const DirEntry& e, const std::string& label, const std::string& local, bool pdf) {
        if (!deleteAfter) {
            ++tally.alreadyThere;
            if (c.verbosity > 0)
                std::fputs(TrF("quillbox-cli, file", "quillbox-cli: %s: already in %s\n", Shown(label).c_str(),
                               Shown(local).c_str())
                               .c_str(),
                           stderr);
            return true;
        }
        if (g_nStopSignal) {
            result.cutShort = true;
            return false;
        }
        std::string reason;
        if (!AwaitSettled(s, settle, e, reason)) {
            if (g_nStopSignal) {
                result.cutShort = true;
                return false;
            }
            fail(label, reason);
            return true;
        }
        const FetchStatus proved =
            pdf ? s.DeleteIfSamePdf(e, local, bar.get(), reason) : s.DeleteIfSame(e, local, bar.get(), reason);
        if (proved != FetchStatus::Copied && g_nStopSignal) result.cutShort = true;
        // A file is counted once: as already there only when nothing about it failed.
        if (proved == FetchStatus::Failed) {
            fail(label, reason);
        } else if (proved == FetchStatus::CopiedNotDeleted) {
            fail(label, TrF("quillbox-cli, file", "equal to %s but not deleted on the printer: %s", local.c_str(),
                            reason.c_str()));
        } else {
            ++tally.alreadyThere;
            result.deleted.push_back({e, label});
        }
        return true;
    };
    for (std::size_t k = 0; k < picked.size(); ++k) {
        const DirEntry& e = dir.entries[picked[k]];
        const std::string label = StableName(e);
        const std::string& dest = dests[k];
        if (dest.empty()) {
            fail(label,
                 TrF("quillbox-cli, file", "its name cannot be made into a local file name in %s", folder.c_str()));
            continue;
        }
        if (!used.insert(FileNameKey(dest)).second) {
            fail(label, TrF("quillbox-cli, file",
                            "would be saved under the same name as another file of this batch (%s); it was not copied",
                            dest.c_str()));
            continue;
        }
        // Saving PDFs, the scan's PDF name; a scan an earlier round could not convert
        // was kept under its TIFF name (dest), and is found there as before.
        const std::string pdfDest = c.pdf ? PdfFileName(dest) : std::string();
        const std::string* ours = run.Wrote(dest.c_str()) ? &dest : nullptr;
        if (c.pdf && run.Wrote(pdfDest.c_str())) ours = &pdfDest;
        if (ours) {
            fail(label, TrF("quillbox-cli, file",
                            "%s is the copy of another scan of this batch (the folder takes both names for one "
                            "file); it was left alone and this scan was not copied",
                            ours->c_str()));
            continue;
        }
        if (keepCopies && c.pdf && GetFileAttributes(pdfDest.c_str()) != INVALID_FILE_ATTRIBUTES) {
            // The PDF an earlier round made is proved this scan's whole file by making
            // it again from the printer's bytes.
            if (!alreadyCopied(e, label, pdfDest, true)) break;
            continue;
        }
        if (keepCopies && GetFileAttributes(dest.c_str()) != INVALID_FILE_ATTRIBUTES) {
            auto listed = std::strtoull(e.size, nullptr, 10);
            PlainFileReader there;
            if (!there.Open(dest.c_str())) {
                fail(label,
                     there.Error().empty()
                         ? TrF("quillbox-cli, file",
                               "%s is in the way and is not a plain file (a link, folder, pipe or device); it "
                               "was left alone and nothing was copied",
                               dest.c_str())
                         : TrF("quillbox-cli, file", "%s cannot be read: %s; it was left alone and nothing was copied",
                               dest.c_str(), there.Error().c_str()));
                continue;
            }
            if (there.Size() != listed) {
                // A file of that name but another size is not this scan as the
                // printer has it; it is someone's, and left alone.
                fail(label, TrF("quillbox-cli, file",
                                "%s exists with %s bytes, the printer's file has %s; it was left alone and nothing "
                                "was copied (move it away to fetch the scan)",
                                dest.c_str(), std::to_string(there.Size()).c_str(), std::to_string(listed).c_str()));
                continue;
            }
            if (!alreadyCopied(e, label, dest, false)) break;
            continue;
        }
        if (g_nStopSignal) {
            result.cutShort = true;
            break;
        }
        std::string reason, written = dest, notConverted;
        if (deleteAfter && !AwaitSettled(s, settle, e, reason)) {
            if (g_nStopSignal) {
                result.cutShort = true;
                break;
            }
            fail(label, reason);
            continue;
        }
        FetchStatus st2 =
            c.pdf ? s.FetchPdf(e, pdfDest, dest, overwrite, deleteAfter, bar.get(), written, notConverted, reason, &run)
                  : s.Fetch(e, dest, overwrite, deleteAfter, bar.get(), reason, &run);
        if (st2 != FetchStatus::Copied && g_nStopSignal) result.cutShort = true;
        if (st2 == FetchStatus::Failed) {
            fail(label, reason);
            continue;
        }
        if (!notConverted.empty() && c.verbosity >= 0)
            std::fputs(TrF("quillbox-cli, file",
                           "quillbox-cli: %s: not saved as PDF (%s); its TIFF was saved as %s instead\n",
                           Shown(label).c_str(), notConverted.c_str(), Shown(written).c_str())
                           .c_str(),
                       stderr);
        std::printf("%s\n", Shown(written).c_str());
        std::fflush(stdout);
        ++tally.copied;
        if (st2 == FetchStatus::CopiedNotDeleted)
            fail(label, TrF("quillbox-cli, file", "copied to %s but not deleted on the printer: %s", written.c_str(),
                            reason.c_str()));
        else if (deleteAfter)
            result.deleted.push_back({e, label});
    }
    return result;
}

// A local name never starts with a ".": "1234(.TIF)" would otherwise be saved as the
// hidden file ".TIF", which a file manager does not show. Such a name gets a "_" in
// front (a clash with another file of the batch is refused like any other).
void MakeVisible(std::vector<std::string>& paths)
{
    for (std::string& path : paths) {
        const std::size_t slash = path.find_last_of("/\\");
        const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
        if (start < path.size() && path[start] == '.') path.insert(start, "_");
    }
}

// The stable names of the picked records in folder (empty: no usable name).
std::vector<std::string> StableDestPaths(const std::string& folder, const DirHeader& dir,
                                         const std::vector<int>& picked)
{
    std::vector<std::string> dests;
    for (int i : picked) {
        std::string name = SyncFileName(dir.entries[i]);
        dests.push_back(name.empty() ? name : InFolder(folder, name));
    }
    MakeVisible(dests);
    return dests;
}

bool PrepareFolder(const std::string& folder)
{
    if (!IsFolder(folder)) {
        std::fputs(TrF("quillbox-cli", "quillbox-cli: %s is not a folder; create it first or name another with --to\n",
                       Shown(folder).c_str())
                       .c_str(),
                   stderr);
        return false;
    }
    // Temporary files of an earlier run that was killed are ours to remove.
    LocalCopy::RemoveLeftovers(FolderPrefix(folder).c_str());
    return true;
}

}  // namespace

int RunList(const CliCommon& c, bool json)
{
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status)) return status;
    std::vector<int> order = SortedOrder(dir.header, c.sortKey);
    // Files that lie where they cannot be named were reported: that is not "no files".
    if (order.empty() && dir.nOtherVolume == 0 && !json && c.verbosity >= 0)
        std::fputs(
            TrF("quillbox-cli", "quillbox-cli: user %s: %s\n", c.userID.c_str(), GetStringRes(IDS_NO_MATCHING_FILES))
                .c_str(),
            stderr);
    if (json)
        PrintListJson(stdout, dir.header, order);
    else
        PrintListText(stdout, dir.header, order, c.terminal && IsTerminal(stdout));
    return QBX_EXIT_OK;
}

int RunGet(const CliCommon& c, const std::string& folder, const std::vector<std::string>& names, bool deleteAfter,
           bool overwrite, bool shortNames)
{
    if (!PrepareFolder(folder)) return QBX_EXIT_USAGE;
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    CSettleTracker settle(std::chrono::seconds(c.settleSeconds));
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status, &settle)) return status;
    int failures = 0;
    std::vector<std::string> typed;
    std::vector<int> picked =
        names.empty() ? SortedOrder(dir.header, QBX_SORT_NAME) : PickRecords(dir.header, names, failures, &typed);
    std::vector<std::string> dests;
    if (shortNames) {
        std::vector<const DirEntry*> entries;
        for (int i : picked) entries.push_back(&dir.header.entries[i]);
        dests = GetDestPaths(folder, entries);
        MakeVisible(dests);
        // A scan asked for by its stable name is saved under that name all the same:
        // the name the user gave is the one to look for afterwards.
        for (std::size_t k = 0; k < typed.size(); ++k) {
            const DirEntry& e = *entries[k];
            if (!EntryDateDigits(e).empty() && typed[k] == SyncFileName(e)) dests[k] = InFolder(folder, typed[k]);
        }
    } else {
        // Printers reuse sequence numbers: only the stable name keeps a later scan from
        // landing on the copy of an earlier one.
        dests = StableDestPaths(folder, dir.header, picked);
    }
    CliTally tally;
    BatchResult batch =
        CopyBatch(s, c, dir.header, picked, dests, folder, deleteAfter, overwrite, false, settle, tally);
    failures += batch.failures + ConfirmDeletions(s, c, batch.deleted, false, tally);
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Get, tally, folder, deleteAfter);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

int RunDelete(const CliCommon& c, const std::vector<std::string>& names, bool yes)
{
    bool ask = !yes;
    if (ask && !IsTerminal(stdin)) {
        std::fputs(Tr("quillbox-cli",
                      "quillbox-cli: delete asks before each file, but there is no terminal to ask on; add --yes to "
                      "delete without asking\n"),
                   stderr);
        return QBX_EXIT_USAGE;
    }
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status)) return status;
    int failures = 0;
    std::vector<int> picked = PickRecords(dir.header, names, failures);
    std::vector<SentDeletion> sent;
    for (int i : picked) {
        if (g_nStopSignal) break;
        const DirEntry& e = dir.entries[i];
        std::string label = StableName(e);
        if (ask) {
            std::fputs(TrF("quillbox-cli delete", "Delete %s (%s bytes) from the printer? [y/N] ", Shown(label).c_str(),
                           Shown(Field(e.size, sizeof e.size)).c_str())
                           .c_str(),
                       stderr);
            std::fflush(stderr);
            // The time limit is for the printer, not for the one who answers.
            auto asked = QbxClock::now();
            std::string answer;
            bool answered = ReadAnswerLine(stdin, answer);
            s.Postpone(QbxClock::now() - asked);
            if (!answered) break;
            if (!IsYes(answer)) continue;
        }
        std::string reason;
        if (!s.Delete(e, reason)) {
            PrintFailure(label, reason);
            ++failures;
            continue;
        }
        sent.push_back({e, label});
    }
    CliTally tally;
    failures += ConfirmDeletions(s, c, sent, true, tally);
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Delete, tally, std::string(), true);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

namespace {

// One round of sync. *cutShort tells whether a stop signal left files of the round
// undone (a copy broken off, or files not yet begun). settle carries the listings of
// the rounds before: a file they showed at the same size long enough ago is not
// waited for.
int SyncRound(const CliCommon& c, const std::string& folder, bool deleteAfter, CSettleTracker& settle, bool* cutShort)
{
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status, &settle)) return status;
    std::vector<int> picked = SortedOrder(dir.header, QBX_SORT_NAME);
    std::vector<std::string> dests = StableDestPaths(folder, dir.header, picked);
    CliTally tally;
    BatchResult batch = CopyBatch(s, c, dir.header, picked, dests, folder, deleteAfter, false, true, settle, tally);
    if (cutShort) *cutShort = batch.cutShort;
    int failures = batch.failures + ConfirmDeletions(s, c, batch.deleted, false, tally);
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Sync, tally, folder, deleteAfter);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

}  // namespace

int RunSync(const CliCommon& c, const std::string& folder, bool deleteAfter, int everySeconds)
{
    if (!PrepareFolder(folder)) return QBX_EXIT_USAGE;
    CSettleTracker settle(std::chrono::seconds(c.settleSeconds));
    for (;;) {
        bool cutShort = false;
        int status = SyncRound(c, folder, deleteAfter, settle, &cutShort);
        if (everySeconds <= 0) return status;
        // Repeating, a stop signal is the way to end: only a stop that left a round's
        // work undone is reported as such; one that came while listing, or after the
        // round's last file, ends like a stop between rounds.
        if (g_nStopSignal) return cutShort ? StopStatus() : QBX_EXIT_OK;
        // Wait for the next round; a signal ends the wait (and the tool) at once.
        auto next = QbxClock::now() + std::chrono::seconds(everySeconds);
        while (!g_nStopSignal && QbxClock::now() < next) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - QbxClock::now()).count();
            SleepUnlessStopped(static_cast<int>(std::min<long long>(ms, 1000)));
        }
        if (g_nStopSignal) return QBX_EXIT_OK;
    }
}
