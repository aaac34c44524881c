// The real program against the simulated printer on loopback.
#pragma once

#include "app_harness.h"
#include "posted_steps.h"
#include "sim_printer.h"

#include "app/Globals.h"
#include "directory/RetrieveDlg.h"
#include "platform/msgqueue.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>

// The listing job for a user ID, written out here on its own so a fault in the
// program's composition cannot hide in a shared helper.
inline std::string ExpectedListingJob(const std::string& user)
{
    const std::string uel = "\x1b%-12345X";
    return " " + uel + "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n%!\n" +
           "/sBuf 100 string def /none true def /str 16 string def\n(DXR/Images/" + user +
           "*) {\ndup print (\t) print status {pop pop exch pop}if str cvs print (\n) print /none false def\n} "
           "sBuf filenameforall none {(***) print}{(%%%) print}ifelse\n\x04" +
           uel + "@PJL EOJ " + uel;
}

class ListingTest : public ::testing::Test {
protected:
    void StartPrinter(qbxsim::Knobs knobs = {})
    {
        store = MakeTempFolder("store");
        StartSimPrinter(sim, store, knobs);
    }
    std::string Ini() const
    {
        return "[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" + std::to_string(sim->Port()) + "\n";
    }
    // Starts the program, types the user ID and presses OK.
    void AskForListing(AppHarness& h, const std::string& user)
    {
        ASSERT_TRUE(h.Start());
        AppHarness::TypeInto(h.MainDlg(), 1001, user);
        AppHarness::Click(h.MainDlg(), IDOK);
    }
    bool ListShown(AppHarness& h)
    {
        CMainFrame* f = h.Frame();
        return f && f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd && f->m_pRetrieveDlg->IsWindowVisible();
    }
    std::string Status(AppHarness& h)
    {
        if (!h.MainDlg() || !h.MainDlg()->m_hWnd) return "<gone>";
        char buf[64];
        h.MainDlg()->GetDlgItemText(1035, buf, sizeof buf);
        return buf;
    }

    std::string store;
    std::unique_ptr<qbxsim::PrinterSim> sim;
};
