// CAboutDlg: the modal About box with the version line and the animated icon.
//
// The version line comes from the executable's own version resource at run time; a click
// anywhere in the box, Enter, Esc or the close box ends it.
#pragma once

#include "platform/dialog.h"
#include "res/resource.h"
#include "ui/AnimIcon.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
    ~CAboutDlg() override = default;

    CAnimIcon m_anim;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnLButtonDown(UINT flags, POINT point);

    DECLARE_MESSAGE_MAP()
};

// Reads the product version of the module's version resource into buffer (at most
// maxLength-1 characters and the NUL). 0 when buffer is null or maxLength below 1; 1
// otherwise, also when nothing could be read (the buffer is then unchanged). selector 1
// asks for the product version, the only value there is to read; instance names the
// module, and this program has one.
int GetVersionString(char* buffer, int maxLength, int selector, void* instance);
