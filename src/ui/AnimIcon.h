// CAnimIcon: a static control that plays icons one after the other on a timer.
//
// The owner subclasses an icon-style static of its template, adds the icon ids in
// playing order and calls Start once. Each tick of timer 1 (on the control's own
// window) shows the next icon and re-arms the timer, so frames are one interval plus
// the step's own time apart. The timer ends with the control's window.
#pragma once

#include "platform/wnd.h"

#include <vector>

class CAnimIcon : public CStatic {
public:
    CAnimIcon() = default;
    ~CAnimIcon() override;

    // Appends an icon resource id to the playing order.
    void AddIcon(UINT iconId);
    // Loads the icon from the application's resources and makes it the control's icon.
    void ShowIcon(UINT iconId);
    // Shows the next icon of the list; after the last comes the first again.
    void NextFrame();
    // Keeps the interval and starts timer 1 with it.
    void Start(UINT intervalMs);

    void OnTimer(UINT_PTR id);
    // Nothing is erased between frames.
    BOOL OnEraseBkgnd(void* dc);

    int m_nFrame = 0;           // position in m_icons of the next icon to show
    std::vector<UINT> m_icons;  // icon resource ids in playing order
    UINT m_nInterval = 0;       // frame interval in milliseconds

    DECLARE_MESSAGE_MAP()
};
