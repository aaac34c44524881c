#include "scripted_prompts.h"

#include <cstring>

int ScriptedPrompts::MessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    PromptCall c;
    c.kind = "MessageBox";
    c.owner = owner;
    c.text = text ? text : "";
    c.caption = caption ? caption : "";
    c.type = type;
    calls.push_back(c);
    if (onPrompt) onPrompt(c);
    if (!boxAnswers.empty()) {
        int a = boxAnswers.front();
        boxAnswers.pop_front();
        return a;
    }
    return (type & 0x0F) == MB_YESNOCANCEL ? IDCANCEL : IDOK;
}

BOOL ScriptedPrompts::GetSaveFileName(OPENFILENAME* ofn)
{
    PromptCall c;
    c.kind = "SaveAs";
    c.owner = ofn->hwndOwner;
    c.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
    c.filter = ofn->lpstrFilter ? ofn->lpstrFilter : "";
    for (const char* p = ofn->lpstrFilter; p && *p; p += std::strlen(p) + 1) c.filters += std::string(p) + "|";
    c.filterIndex = ofn->nFilterIndex;
    c.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    c.flags = ofn->Flags;
    calls.push_back(c);
    if (onPrompt) onPrompt(c);
    std::string answer;
    if (!saveAnswers.empty()) {
        answer = saveAnswers.front();
        saveAnswers.pop_front();
    }
    if (!saveTypes.empty()) {
        ofn->nFilterIndex = saveTypes.front();
        saveTypes.pop_front();
    }
    if (answer.empty() || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
    std::strncpy(ofn->lpstrFile, answer.c_str(), ofn->nMaxFile - 1);
    ofn->lpstrFile[ofn->nMaxFile - 1] = '\0';
    return TRUE;
}

std::vector<PromptCall> ScriptedPrompts::Boxes() const
{
    std::vector<PromptCall> r;
    for (auto& c : calls)
        if (c.kind == "MessageBox") r.push_back(c);
    return r;
}
