// Runs the real program objects in a test: a private folder for the executable's path
// (so Quillbox.ini and Halvern.ini are the test's own), scripted prompts, the
// application object with its frame, and helpers that drive the message queue.
#pragma once

#include "app/MainFrm.h"
#include "app/QuillboxApp.h"
#include "app/QuillboxDlg.h"
#include "scripted_prompts.h"

#include <functional>

class QWidget;
#include <memory>
#include <string>
#include <vector>

class AppHarness {
public:
    // iniText: contents of Quillbox.ini next to the "executable" (none when empty).
    explicit AppHarness(const std::string& iniText = "");
    ~AppHarness();

    // InitInstance and the start-up message; TRUE when the main dialog is up.
    bool Start();

    // Dispatches every message that is waiting now (timers that are due included).
    void PumpPending();
    // Runs the loop for about ms of the installed clock.
    void PumpFor(int ms);
    // Runs the loop until pred holds or timeoutMs of real time passed; the result of pred.
    bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 10000);
    // Runs the loop until the program has ended (the frame destroyed).
    bool PumpUntilExit(int timeoutMs = 10000);

    CMainFrame* Frame() const;
    CQuillboxDlg* MainDlg() const;
    bool Exited() const { return m_exited; }

    std::string Folder() const { return m_folder; }
    std::string IniPath() const { return m_folder + "/Quillbox.ini"; }
    std::string ReadIni() const;

    // Types text into a dialog's edit as a user would (one change per character).
    static void TypeInto(CWnd* dlg, int id, const std::string& text);
    // Clicks a dialog's button (the click goes through the window system).
    static void Click(CWnd* dlg, int id);
    static void PressKey(CWnd* dlg, int qtKey, int qtModifiers = 0);
    // Clicks line row of a dialog's list box as a user does (in a multiple-selection
    // list a click toggles the line). The line is scrolled into view first.
    static void ClickListLine(CWnd* dlg, int id, int row);
    // Chooses item index of a dialog's drop-down list as a user does (the choice
    // notifies the dialog, unlike the program's own SetCurSel).
    static void ChooseComboItem(CWnd* dlg, int id, int index);
    // Presses the close box in a dialog's caption.
    static void CloseBox(CWnd* dlg);
    // The Qt widget of a dialog's control, or null.
    static QWidget* ControlWidget(CWnd* dlg, int id);
    // Saves a screenshot of a dialog into the test output folder; returns its path. On
    // a scaled screen (QT_SCALE_FACTOR=2) the picture is "NAME@2x" and every text of the
    // dialog is checked not to run into its control's edge (a cut text fails the test).
    static std::string Screenshot(CWnd* dlg, const std::string& name);
    // The same for a window of Qt's own (a message box) or a dialog known by its widget.
    static std::string ScreenshotOf(QWidget* window, const std::string& name);
    // Fails the test for every label of window whose text reaches its right or bottom
    // edge in the picture: the text is cut there.
    static void ExpectNoTextCut(QWidget* window, const std::string& name);
    // Saves the picture of a dialog that the README shows: into the test output
    // folder, and as docs/<name>.png in the source tree when that can be written
    // (commit it when it changes). The picture must not depend on the time or the
    // machine. Returns the test output's path, empty when the picture failed.
    static std::string DocScreenshot(CWnd* dlg, const std::string& name);

    ScriptedPrompts prompts;
    std::vector<std::string> traces;

private:
    std::string m_folder;
    std::string m_iniText;
    std::unique_ptr<CQuillboxApp> m_app;
    bool m_exited = false;
};

// A fresh empty folder under the test output folder.
std::string MakeTempFolder(const std::string& tag);
