// Prompts for tests: every message box and Save As call is recorded, and answered from
// a script (answers queued in order; without one, OK / Cancel).
#pragma once

#include "platform/prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct PromptCall {
    std::string kind;  // "MessageBox" or "SaveAs"
    HWND owner = 0;
    std::string text;
    std::string caption;
    UINT type = 0;
    std::string initialDir;
    std::string filter;   // the first description
    std::string filters;  // every text of the filter, each ended by "|"
    DWORD filterIndex = 0;
    std::string defExt;
    DWORD flags = 0;
};

class ScriptedPrompts : public IPrompts {
public:
    ScriptedPrompts() { SetPrompts(this); }
    ~ScriptedPrompts() override { SetPrompts(nullptr); }

    int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    BOOL GetSaveFileName(OPENFILENAME* ofn) override;

    // Answers for the next message boxes (IDOK, IDYES, IDNO, IDCANCEL).
    std::deque<int> boxAnswers;
    // Answers for the next Save As dialogs: a path, or "" for Cancel.
    std::deque<std::string> saveAnswers;
    // The types chosen in the next Save As dialogs (1 the first); none: left as given.
    std::deque<DWORD> saveTypes;
    // Runs at each message box, after it was recorded (e.g. to look at windows).
    std::function<void(const PromptCall&)> onPrompt;

    std::vector<PromptCall> calls;
    std::vector<PromptCall> Boxes() const;
};
