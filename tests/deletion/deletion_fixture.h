// Deleting files from the simulated printer after a real listing, driven through the
// file list and the "Confirm File Deletion" dialog as a user does it.
#pragma once

#include "app_harness.h"
#include "posted_steps.h"
#include "sim_printer.h"

#include "app/Globals.h"
#include "directory/ConfirmDeleteDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/msgqueue.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

class DeletionTest : public ::testing::Test {
protected:
    // Starts the printer with user 1234's files of the given sequence numbers (and one
    // file of another user), the program, and a listing for 1234.
    void ListFiles(const std::vector<std::string>& seqs)
    {
        store = MakeTempFolder("delstore");
        ASSERT_NO_FATAL_FAILURE(StartSimPrinter(sim, store));
        for (const std::string& s : seqs) qbxsim::AddImageOfSize(store, "1234", s, "19991213093005", 100);
        qbxsim::AddImageOfSize(store, "12345", "001", "20000101000000", 10);
        h = std::make_unique<AppHarness>("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" + std::to_string(sim->Port()) +
                                         "\n");
        ASSERT_TRUE(h->Start());
        AppHarness::TypeInto(h->MainDlg(), IDC_USERID, "1234");
        AppHarness::Click(h->MainDlg(), IDOK);
        ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 20000));
        f = h->Frame();
        ASSERT_EQ(f->m_pDirectory->count, static_cast<int>(seqs.size()));
    }

    bool ListShown() const
    {
        CMainFrame* fr = h->Frame();
        return fr && fr->m_pRetrieveDlg && fr->m_pRetrieveDlg->m_hWnd && fr->m_pRetrieveDlg->IsWindowVisible();
    }
    CConfirmDeleteDlg* Question() const
    {
        CMainFrame* fr = h->Frame();
        return fr && fr->m_pConfirmDlg && fr->m_pConfirmDlg->m_hWnd ? fr->m_pConfirmDlg : nullptr;
    }
    bool WaitForQuestion()
    {
        return h->PumpUntil([&] { return Question() != nullptr; }, 20000);
    }

    // Clicks the lines of the files with these display names ("007.TIF"), then Delete.
    void SelectAndDelete(const std::set<std::string>& names)
    {
        CListBox& lb = f->m_pRetrieveDlg->m_lbFiles;
        for (int line = 0; line < lb.GetCount(); ++line) {
            const int record = static_cast<int>(lb.GetItemData(line));
            if (names.count(f->m_pDirectory->entries[record].name))
                AppHarness::ClickListLine(f->m_pRetrieveDlg, IDC_FILELIST, line);
        }
        h->PumpPending();
        AppHarness::Click(f->m_pRetrieveDlg, IDC_DELETE);
    }

    std::string AskedName() const
    {
        char buf[32] = {};
        if (CConfirmDeleteDlg* q = Question()) q->GetDlgItemText(IDC_CONFIRM_FILENAME, buf, sizeof buf);
        return buf;
    }
    bool Offered(int id) const
    {
        CWnd* b = Question() ? Question()->GetDlgItem(id) : nullptr;
        return b && b->IsWindowVisible() && b->IsWindowEnabled();
    }
    // Names of the selected lines of the file list.
    std::set<std::string> SelectedNames() const
    {
        std::set<std::string> s;
        CListBox& lb = f->m_pRetrieveDlg->m_lbFiles;
        for (int line = 0; line < lb.GetCount(); ++line)
            if (lb.GetSel(line) > 0) s.insert(f->m_pDirectory->entries[lb.GetItemData(line)].name);
        return s;
    }
    std::vector<std::string> DeletionJobs() const
    {
        std::vector<std::string> out;
        for (const auto& j : sim->Jobs())
            if (j.bytes.find("deletefile") != std::string::npos) out.push_back(j.bytes);
        return out;
    }
    std::vector<int> DeletionConnections() const
    {
        std::vector<int> out;
        for (const auto& j : sim->Jobs())
            if (j.bytes.find("deletefile") != std::string::npos) out.push_back(j.connection);
        return out;
    }
    // Waits until the printer has run n deletion jobs and the store holds `left` files.
    bool StoreSettles(size_t n, size_t left)
    {
        return h->PumpUntil([&] { return DeletionJobs().size() >= n && qbxsim::ListStore(store).size() == left; },
                            30000);
    }
    static std::string Path(const std::string& seq) { return "DXR/Images/1234(" + seq + ")(19991213093005).TIF"; }

    std::string store;
    std::unique_ptr<qbxsim::PrinterSim> sim;
    std::unique_ptr<AppHarness> h;
    CMainFrame* f = nullptr;
};
