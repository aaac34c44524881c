// Shared pieces of the platform tests: a sample dialog template of our own, helpers
// that drive the queue as the program's loops do, and a window that records what
// reaches it.
#pragma once

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"
#include "platform/wnd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Ids of the sample dialog (template 900).
constexpr UINT IDD_SAMPLE = 900;
constexpr int IDC_NAME_LABEL = 1000;
constexpr int IDC_NAME = 1001;
constexpr int IDC_FILES = 1002;
constexpr int IDC_SORT = 1003;
constexpr int IDC_PROGRESS = 1004;
constexpr int IDC_ICON = 1005;
constexpr int IDC_GROUP = 1006;
constexpr int IDC_APPLY = 1007;  // a plain push button next to OK and Cancel
constexpr UINT IDI_SAMPLE = 910;

// The sample template: every kind of control the program uses.
const DlgTemplate& SampleTemplate();

// Installs a resource module holding the sample template (and an icon) for its
// lifetime; the previous module comes back afterwards.
class SampleResources {
public:
    SampleResources();
    ~SampleResources();
    SampleResources(const SampleResources&) = delete;
    SampleResources& operator=(const SampleResources&) = delete;

private:
    const ResourceModule* m_previous;
};

// Installs a manual clock for its lifetime.
class ManualClockScope {
public:
    ManualClockScope() { SetClock(&clock); }
    ~ManualClockScope() { SetClock(nullptr); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;
    ManualClock clock;
};

// Dispatches every message waiting now (due timers included) through the queue's own
// pump, then, in the outermost loop only, lets windows marked for deletion go, as the
// program's own pump does. Returns the number of messages dispatched; a WM_QUIT is put
// back and stops it.
int PumpPending();

// Pumps until the installed clock has moved ms forward (a manual clock is moved by the
// waits; a real one is slept on).
void PumpFor(int ms);

// One message as a window received it.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Seen& s);

// A window without visible presence that records every message it gets into a log
// shared with other recorders, and can run a hook for chosen messages.
class RecorderWnd : public CWnd {
public:
    explicit RecorderWnd(std::vector<Seen>* log) : m_log(log) { CreateHandleOnly(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_log->push_back({m_hWnd, message, wParam, lParam});
        if (onMessage) return onMessage(message, wParam, lParam);
        return 0;
    }
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;

private:
    std::vector<Seen>* m_log;
};

// The sample dialog with its controls bound to members. Each handler counts its calls
// and runs a hook when one is set; OK and Cancel end the dialog as the framework does
// unless a hook takes them.
class SampleDlg : public CDialog {
public:
    SampleDlg() : CDialog(IDD_SAMPLE) {}

    CEdit m_name;
    CListBox m_files;
    CComboBox m_sort;
    CProgressCtrl m_progress;
    CStatic m_icon;

    int inits = 0, oks = 0, cancels = 0, applies = 0, nameChanges = 0, fileSelChanges = 0, sortSelChanges = 0;
    std::vector<std::string> namesSeen;  // the edit's text at each change notification
    std::function<void()> onInit, onOk, onCancel, onApply, onNameChange, onFileSelChange, onSortSelChange;
    // Called after the window was released (e.g. to delete a dialog made with new).
    std::function<void()> onNcDestroy;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnApply();
    void OnNameChange();
    void OnFileSelChange();
    void OnSortSelChange();

protected:
    void PostNcDestroy() override
    {
        if (onNcDestroy) onNcDestroy();
    }
    DECLARE_MESSAGE_MAP()
};

// Every test starts and ends with an empty queue and the system clock.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { ResetMessageQueue(); }
    void TearDown() override
    {
        PumpPending();
        ResetMessageQueue();
        SetClock(nullptr);
    }
};
