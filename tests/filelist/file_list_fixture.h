// The file list over a table the frame received as a listing, with the frame in the
// state the dispatcher leaves it in when it shows the list.
#pragma once

#include "app_harness.h"

#include "app/Globals.h"
#include "directory/RetrieveDlg.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class FileListTest : public ::testing::Test {
protected:
    std::unique_ptr<AppHarness> h;
    CMainFrame* f = nullptr;
    std::string listing;

    // Starts the program with the given Quillbox.ini and an empty table for user 1234.
    void Start(const std::string& ini = "")
    {
        h = std::make_unique<AppHarness>(ini);
        ASSERT_TRUE(h->Start());
        f = h->Frame();
        std::strcpy(f->m_szUserID, "1234");
        if (!f->m_pDirHeaderBlock) {
            f->m_pDirHeaderBlock = static_cast<DirHeader*>(std::calloc(1, sizeof(DirHeader)));
            f->m_pDirectory = f->m_pDirHeaderBlock;
        }
        if (!f->m_pDirEntries)
            f->m_pDirEntries = static_cast<DirEntry*>(std::calloc(QBX_MAX_DIR_ENTRIES, sizeof(DirEntry)));
        f->m_pDirectory->entries = f->m_pDirEntries;
        listing.clear();
    }

    // The program's own exit, without waiting for its close timer: the dialogs, the
    // table and the frame are freed as at every exit.
    void TearDown() override
    {
        if (!h) return;
        if (CMainFrame* frame = h->Frame()) {
            frame->OnClose();
            frame->FinalShutdown();
        }
        h->PumpPending();
    }

    // One line of the printer's listing for user 1234.
    void File(const std::string& seq, const std::string& stamp, const std::string& size)
    {
        listing += "DXR/Images/1234(" + seq + ")(" + stamp + ").TIF\t" + size + "\n";
    }

    // Runs the listing through the frame's parser in receive-sized chunks, as a
    // listing arrives, and completes the records.
    void Receive()
    {
        std::memset(f->m_pDirEntries, 0, sizeof(DirEntry) * QBX_MAX_DIR_ENTRIES);
        f->m_pDirectory->count = 0;
        f->m_pDirectory->command = 0;
        f->m_listing.Begin();
        f->m_bDirectoryFull = FALSE;
        std::string text = listing + "%%%";
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t n = std::min(text.size() - at, sizeof f->m_szIOBuffer - 1);
            std::memset(f->m_szIOBuffer, 0, sizeof f->m_szIOBuffer);
            std::memcpy(f->m_szIOBuffer, text.data() + at, n);
            at += n;
            f->m_nReceived = static_cast<int>(n);
            if (f->ParseBuffer() != 2) break;
        }
        f->ParseDirectory();
    }

    // What the dispatcher does once a listing is parsed: the operation is still
    // running (OK disabled), the list comes up.
    void Show()
    {
        f->m_bBusy = TRUE;
        f->m_pMainDlg->m_btnOK.EnableWindow(FALSE);
        g_bDirectoryLoaded = TRUE;
        f->ShowFileList();
        h->PumpPending();
        ASSERT_NE(Dlg(), nullptr);
        ASSERT_NE(Dlg()->m_hWnd, 0u);
    }

    void ReceiveAndShow()
    {
        Receive();
        Show();
    }

    CRetrieveDlg* Dlg() const { return f->m_pRetrieveDlg; }
    DirEntry& Record(int i) const { return f->m_pDirectory->entries[i]; }
    int Count() const { return f->m_pDirectory->count; }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> out;
        CListBox& lb = Dlg()->m_lbFiles;
        for (int k = 0; k < lb.GetCount(); ++k) {
            char buf[128] = {};
            lb.GetText(k, buf, sizeof buf);
            out.push_back(buf);
        }
        return out;
    }

    // The record named by each line's item data, in display order.
    std::vector<int> Order() const
    {
        std::vector<int> out;
        CListBox& lb = Dlg()->m_lbFiles;
        for (int k = 0; k < lb.GetCount(); ++k) out.push_back(static_cast<int>(lb.GetItemData(k)));
        return out;
    }

    // Display names in display order.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (const std::string& line : Lines()) out.push_back(line.substr(0, line.find('\t')));
        return out;
    }

    std::vector<int> SelectedLines() const
    {
        std::vector<int> out;
        CListBox& lb = Dlg()->m_lbFiles;
        for (int k = 0; k < lb.GetCount(); ++k)
            if (lb.GetSel(k) > 0) out.push_back(k);
        return out;
    }

    std::vector<int> SelectedRecords() const
    {
        std::vector<int> out;
        for (int k : SelectedLines()) out.push_back(static_cast<int>(Dlg()->m_lbFiles.GetItemData(k)));
        std::sort(out.begin(), out.end());
        return out;
    }

    int LineOfRecord(int record) const
    {
        std::vector<int> order = Order();
        for (std::size_t k = 0; k < order.size(); ++k)
            if (order[k] == record) return static_cast<int>(k);
        return -1;
    }

    std::string ViewBy() const
    {
        char buf[32] = {};
        Dlg()->m_cbViewBy.GetLBText(Dlg()->m_cbViewBy.GetCurSel(), buf, sizeof buf);
        return buf;
    }

    // The user picks a View By item (0 Name, 1 Size, 2 Date & Time).
    void Choose(int item)
    {
        AppHarness::ChooseComboItem(Dlg(), IDC_VIEWBY, item);
        h->PumpPending();
    }

    void ClickLine(int line)
    {
        AppHarness::ClickListLine(Dlg(), IDC_FILELIST, line);
        h->PumpPending();
    }

    bool ButtonsEnabled(bool enabled) const
    {
        return Dlg()->GetDlgItem(IDC_DELETE)->IsWindowEnabled() == (enabled ? TRUE : FALSE) &&
               Dlg()->GetDlgItem(IDC_RETRIEVE)->IsWindowEnabled() == (enabled ? TRUE : FALSE);
    }

    // Every line shows the record its item data names.
    void ExpectLinesMatchRecords() const
    {
        std::vector<std::string> lines = Lines();
        std::vector<int> order = Order();
        ASSERT_EQ(static_cast<int>(lines.size()), Count());
        std::vector<int> seen(Count(), 0);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            ASSERT_GE(order[k], 0);
            ASSERT_LT(order[k], Count());
            ++seen[order[k]];
            // The buffer is as long as the one Lines() reads into: a line the program cut
            // short does not match.
            char want[128] = {};
            CRetrieveDlg::FormatLine(Record(order[k]), want, sizeof want);
            EXPECT_EQ(lines[k], want) << "line " << k;
        }
        for (int i = 0; i < Count(); ++i) EXPECT_EQ(seen[i], 1) << "record " << i;
    }
};
