// The application object.
#pragma once

#include "platform/app.h"

class CQuillboxApp : public CWinApp {
public:
    CQuillboxApp() = default;
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
