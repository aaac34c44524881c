// Retrieval against the simulated printer: a listing first, then lines chosen in the
// file list as a user chooses them, Retrieve, and the batch watched to its end.
#pragma once

#include "listing_fixture.h"

#include "res/resource.h"
#include "platform/system.h"

#include <QTimer>

#include <csignal>
#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

// While it lives, no file of this process may grow beyond `bytes`: a write beyond fails
// with EFBIG ("File too large"), the way a full disk fails it, without a mount.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Ok() const { return m_ok; }

private:
    struct rlimit m_old {};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_ok = false;
};

class RetrievalTest : public ListingTest {
protected:
    std::string IniWith(bool autoDelete) const
    {
        return Ini() + "[QBXConfig]\nAutoDelete=" + (autoDelete ? "yes" : "no") + "\n";
    }

    // The listing for user, up to the shown file list.
    void ListFor(AppHarness& h, const std::string& user)
    {
        AskForListing(h, user);
        ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));
    }

    CListBox& Lines(AppHarness& h) { return h.Frame()->m_pRetrieveDlg->m_lbFiles; }

    // The list line that shows the record of the store path.
    int RowOf(AppHarness& h, const std::string& storePath)
    {
        CMainFrame* f = h.Frame();
        for (int row = 0; row < Lines(h).GetCount(); ++row) {
            int record = static_cast<int>(Lines(h).GetItemData(row));
            if (storePath == f->m_pDirectory->entries[record].path) return row;
        }
        return -1;
    }

    // Clicks the lines of these store paths, as a user does.
    void Select(AppHarness& h, const std::vector<std::string>& storePaths)
    {
        for (auto& p : storePaths) {
            int row = RowOf(h, p);
            ASSERT_GE(row, 0) << p;
            AppHarness::ClickListLine(h.Frame()->m_pRetrieveDlg, IDC_FILELIST, row);
        }
    }

    // The listing for user shown, the lines of these store paths clicked, and saveAs
    // queued as the answer to the Save As prompt: ready for Retrieve. Call it under
    // ASSERT_NO_FATAL_FAILURE.
    void ListAndChoose(AppHarness& h, const std::string& user, const std::vector<std::string>& storePaths,
                       const std::string& saveAs)
    {
        ASSERT_NO_FATAL_FAILURE(ListFor(h, user));
        ASSERT_NO_FATAL_FAILURE(Select(h, storePaths));
        h.prompts.saveAnswers.push_back(saveAs);
    }

    // Clicks every selected line, so none is selected.
    void Deselect(AppHarness& h)
    {
        for (int row = 0; row < Lines(h).GetCount(); ++row)
            if (Lines(h).GetSel(row) > 0) AppHarness::ClickListLine(h.Frame()->m_pRetrieveDlg, IDC_FILELIST, row);
    }

    // Store paths whose lines are selected in the shown list.
    std::set<std::string> SelectedPaths(AppHarness& h)
    {
        std::set<std::string> s;
        CMainFrame* f = h.Frame();
        for (int row = 0; row < Lines(h).GetCount(); ++row)
            if (Lines(h).GetSel(row) > 0)
                s.insert(f->m_pDirectory->entries[static_cast<int>(Lines(h).GetItemData(row))].path);
        return s;
    }

    int BatchEnds(AppHarness& h)
    {
        return static_cast<int>(
            std::count(h.traces.begin(), h.traces.end(), std::string("JobEnd QBX_JE_FILEGET called\n")));
    }

    // Presses Retrieve and runs the batch to its end.
    void RetrieveAndWait(AppHarness& h, int timeoutMs = 30000)
    {
        int before = BatchEnds(h);
        AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
        ASSERT_TRUE(h.PumpUntil([&] { return BatchEnds(h) > before; }, timeoutMs));
        h.PumpPending();
    }

    // The jobs of a kind the printer received (after the listing).
    std::vector<qbxsim::RecordedJob> JobsWith(const std::string& marker)
    {
        std::vector<qbxsim::RecordedJob> r;
        for (auto& j : sim->Jobs())
            if (j.bytes.find(marker) != std::string::npos) r.push_back(j);
        return r;
    }
    std::vector<qbxsim::RecordedJob> Uploads() { return JobsWith("FSUPLOAD"); }
    std::vector<qbxsim::RecordedJob> Deletions() { return JobsWith("deletefile"); }

    // The store path of the record whose display name and duplicate number match.
    std::string PathOfName(AppHarness& h, const std::string& name, const std::string& dup)
    {
        CMainFrame* f = h.Frame();
        for (int i = 0; i < f->m_pDirectory->count; ++i) {
            const DirEntry& e = f->m_pDirectory->entries[i];
            if (name == e.name && dup == e.dupNumber) return e.path;
        }
        return "";
    }

    std::string StoreBytes(const std::string& relPath)
    {
        return ReadFile((std::filesystem::path(store) / relPath).string());
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "<missing>";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    static std::vector<std::string> FilesIn(const std::string& folder)
    {
        std::vector<std::string> r;
        for (auto& e : std::filesystem::directory_iterator(folder)) r.push_back(e.path().filename().string());
        std::sort(r.begin(), r.end());
        return r;
    }
};
