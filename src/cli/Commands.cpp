// list, get, delete and sync.
#include "cli/Commands.h"

#include "cli/Names.h"
#include "cli/Output.h"
#include "cli/Printer.h"
#include "cli/Status.h"
#include "platform/localcopy.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

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

// Lists the user's files; prints the reason and gives the exit status on failure.
bool ListOrReport(CPrinterSession& s, CliDirectory& dir, const CliCommon& c, int& status)
{
    std::string reason;
    if (s.List(dir, reason)) {
        if (dir.bFull && c.verbosity >= 0)
            std::fprintf(stderr,
                         "quillbox-cli: the printer holds more than %d files for user %s; only the first %d "
                         "were listed\n",
                         QBX_MAX_DIR_ENTRIES, c.userID.c_str(), QBX_MAX_DIR_ENTRIES);
        return true;
    }
    PrintFailure("user " + c.userID, reason);
    status = g_nStopSignal ? StopStatus() : QBX_EXIT_PRINTER;
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

std::string Field(const char* f, std::size_t size) { return std::string(f, strnlen(f, size)); }

// Records named on the command line (by CliFileName or printer path), in the order
// given; names that match nothing are reported and counted as failures.
std::vector<int> PickRecords(const DirHeader& dir, const std::vector<std::string>& names, int& failures)
{
    std::vector<int> picked;
    for (const std::string& want : names) {
        int found = -1;
        for (int i = 0; i < dir.count && found < 0; ++i) {
            const DirEntry& e = dir.entries[i];
            if (CliFileName(e) == want || Field(e.path, sizeof e.path) == want) found = i;
        }
        if (found < 0) {
            PrintFailure(want, "not on the printer for this user (see quillbox-cli list)");
            ++failures;
        } else if (std::find(picked.begin(), picked.end(), found) == picked.end()) {
            picked.push_back(found);
        }
    }
    return picked;
}

std::unique_ptr<CProgressBar> MakeBar(const CliCommon& c)
{
    if (!c.terminal || c.verbosity < 0) return nullptr;
    return std::make_unique<CProgressBar>(stderr);
}

// Copies the records of picked into folder at dests (empty: no usable name), passing
// over those alreadyThere(entry, dest, conflict) finds in place and failing those it
// gives a conflict for. Returns the number of failures; a stop signal ends the batch.
// tally counts what was done for the summary line.
template <typename AlreadyThere>
int CopyBatch(CPrinterSession& s, const CliCommon& c, const DirHeader& dir, const std::vector<int>& picked,
              const std::vector<std::string>& dests, const std::string& folder, bool deleteAfter, bool overwrite,
              CliTally& tally, AlreadyThere alreadyThere, bool* cutShort = nullptr)
{
    int failures = 0;
    std::set<std::string> used;
    auto bar = MakeBar(c);
    for (std::size_t k = 0; k < picked.size(); ++k) {
        const DirEntry& e = dir.entries[picked[k]];
        std::string label = CliFileName(e);
        const std::string& dest = dests[k];
        if (dest.empty()) {
            PrintFailure(label, "its name cannot be made into a local file name in " + folder);
            ++failures;
            continue;
        }
        if (!used.insert(dest).second) {
            PrintFailure(label, "would be saved under the same name as another file of this batch (" + dest +
                                    "); it was not copied");
            ++failures;
            continue;
        }
        std::string conflict;
        if (alreadyThere(e, dest, conflict)) {
            ++tally.alreadyThere;
            if (c.verbosity > 0) std::fprintf(stderr, "quillbox-cli: %s: already in %s\n", label.c_str(), dest.c_str());
            continue;
        }
        if (!conflict.empty()) {
            PrintFailure(label, conflict);
            ++failures;
            continue;
        }
        if (g_nStopSignal) {
            if (cutShort) *cutShort = true;
            break;
        }
        std::string reason;
        FetchStatus st = s.Fetch(e, dest, overwrite, deleteAfter, bar.get(), reason);
        if (st != FetchStatus::Copied && g_nStopSignal && cutShort) *cutShort = true;
        if (st == FetchStatus::Failed) {
            PrintFailure(label, reason);
            ++failures;
            continue;
        }
        std::printf("%s\n", dest.c_str());
        std::fflush(stdout);
        ++tally.copied;
        if (deleteAfter && st == FetchStatus::Copied) ++tally.deleted;
        if (st == FetchStatus::CopiedNotDeleted) {
            PrintFailure(label, "copied to " + dest + " but not deleted on the printer: " + reason);
            ++failures;
        } else if (deleteAfter && c.verbosity > 0) {
            std::fprintf(stderr, "quillbox-cli: %s: deleted on the printer\n", label.c_str());
        }
    }
    return failures;
}

bool PrepareFolder(const std::string& folder)
{
    if (!IsFolder(folder)) {
        std::fprintf(stderr, "quillbox-cli: %s is not a folder; create it first or name another with --to\n",
                     folder.c_str());
        return false;
    }
    // Temporary files of an earlier run that was killed are ours to remove.
    LocalCopy::RemoveLeftovers(folder.c_str());
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
    if (order.empty() && !json && c.verbosity >= 0)
        std::fprintf(stderr, "quillbox-cli: user %s: %s\n", c.userID.c_str(), GetStringRes(IDS_NO_MATCHING_FILES));
    if (json)
        PrintListJson(stdout, dir.header, order);
    else
        PrintListText(stdout, dir.header, order, c.terminal && IsTerminal(stdout));
    return QBX_EXIT_OK;
}

int RunGet(const CliCommon& c, const std::string& folder, const std::vector<std::string>& names, bool deleteAfter,
           bool overwrite)
{
    if (!PrepareFolder(folder)) return QBX_EXIT_USAGE;
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status)) return status;
    int failures = 0;
    std::vector<int> picked =
        names.empty() ? SortedOrder(dir.header, QBX_SORT_NAME) : PickRecords(dir.header, names, failures);
    std::vector<const DirEntry*> entries;
    for (int i : picked) entries.push_back(&dir.header.entries[i]);
    std::vector<std::string> dests = GetDestPaths(folder, entries);
    CliTally tally;
    failures += CopyBatch(s, c, dir.header, picked, dests, folder, deleteAfter, overwrite, tally,
                          [](const DirEntry&, const std::string&, std::string&) { return false; });
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Get, tally, folder, deleteAfter);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

int RunDelete(const CliCommon& c, const std::vector<std::string>& names, bool yes)
{
    bool ask = !yes;
    if (ask && !IsTerminal(stdin)) {
        std::fprintf(stderr, "quillbox-cli: delete asks before each file, but there is no terminal to ask on; "
                             "add --yes to delete without asking\n");
        return QBX_EXIT_USAGE;
    }
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status)) return status;
    int failures = 0;
    CliTally tally;
    std::vector<int> picked = PickRecords(dir.header, names, failures);
    for (int i : picked) {
        if (g_nStopSignal) break;
        const DirEntry& e = dir.entries[i];
        std::string label = CliFileName(e);
        if (ask) {
            std::fprintf(stderr, "Delete %s (%s bytes) from the printer? [y/N] ", label.c_str(),
                         Field(e.size, sizeof e.size).c_str());
            std::fflush(stderr);
            char answer[16] = {};
            // The time limit is for the printer, not for the one who answers.
            auto asked = QbxClock::now();
            bool answered = std::fgets(answer, sizeof answer, stdin) != nullptr;
            s.Postpone(QbxClock::now() - asked);
            if (!answered) break;
            if (answer[0] != 'y' && answer[0] != 'Y') continue;
        }
        std::string reason;
        if (!s.Delete(e, reason)) {
            PrintFailure(label, reason);
            ++failures;
            continue;
        }
        std::printf("deleted %s\n", label.c_str());
        std::fflush(stdout);
        ++tally.deleted;
    }
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Delete, tally, std::string(), true);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

namespace {

// One round of sync. *cutShort tells whether a stop signal left files of the round
// undone (a copy broken off, or files not yet begun).
int SyncRound(const CliCommon& c, const std::string& folder, bool deleteAfter, bool* cutShort)
{
    CPrinterSession s(c.target, c.userID, DeadlineFor(c));
    CliDirectory dir;
    int status = QBX_EXIT_OK;
    if (!ListOrReport(s, dir, c, status)) return status;
    std::vector<int> picked = SortedOrder(dir.header, QBX_SORT_NAME);
    std::vector<std::string> dests;
    for (int i : picked) {
        std::string name = SyncFileName(dir.header.entries[i]);
        dests.push_back(name.empty() ? name : folder + (folder.back() == '/' ? "" : "/") + name);
    }
    CliTally tally;
    int failures = CopyBatch(
        s, c, dir.header, picked, dests, folder, deleteAfter, false, tally,
        [](const DirEntry& e, const std::string& dest, std::string& conflict) {
            std::uint64_t size = 0;
            if (!GetPathSize(dest.c_str(), &size)) return false;
            auto listed = std::strtoull(e.size, nullptr, 10);
            if (size == listed) return true;
            // A file of that name but another size is not this scan as
            // the printer has it; it is someone's, and left alone.
            conflict = dest + " exists with " + std::to_string(size) + " bytes, the printer's file has " +
                       std::to_string(listed) +
                       "; it was left alone and nothing was copied (move it away to fetch the scan)";
            return false;
        },
        cutShort);
    tally.failed = failures;
    PrintSummary(c.verbosity, c.terminal, SummaryKind::Sync, tally, folder, deleteAfter);
    if (g_nStopSignal) return StopStatus();
    return failures ? QBX_EXIT_FILES : QBX_EXIT_OK;
}

}  // namespace

int RunSync(const CliCommon& c, const std::string& folder, bool deleteAfter, int everySeconds)
{
    if (!PrepareFolder(folder)) return QBX_EXIT_USAGE;
    for (;;) {
        bool cutShort = false;
        int status = SyncRound(c, folder, deleteAfter, &cutShort);
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
