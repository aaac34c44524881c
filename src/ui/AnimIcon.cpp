#include "ui/AnimIcon.h"

#include "platform/resources.h"

namespace {
constexpr UINT_PTR kAnimTimerId = 1;
}

BEGIN_MESSAGE_MAP(CAnimIcon, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_TIMER()
END_MESSAGE_MAP()

CAnimIcon::~CAnimIcon() { m_icons.clear(); }

void CAnimIcon::AddIcon(UINT iconId) { m_icons.push_back(iconId); }

void CAnimIcon::ShowIcon(UINT iconId)
{
    // An icon "handle" is its resource id; a missing resource loads as no icon. The
    // same resource loads as the same shared icon every time, so nothing is freed.
    const IconRes* icon = FindIcon(iconId);
    SendMessage(STM_SETICON, icon ? icon->id : 0, 0);
}

void CAnimIcon::NextFrame()
{
    // An empty list has nothing to show: the tick leaves the control as it is.
    if (m_icons.empty()) return;
    if (m_nFrame >= static_cast<int>(m_icons.size())) m_nFrame = 0;
    ShowIcon(m_icons[static_cast<std::size_t>(m_nFrame)]);
    ++m_nFrame;
}

void CAnimIcon::Start(UINT intervalMs)
{
    m_nInterval = intervalMs;
    SetTimer(kAnimTimerId, intervalMs, nullptr);
}

void CAnimIcon::OnTimer(UINT_PTR id)
{
    DefWindowProc(WM_TIMER, id, 0);
    // A fresh timer after every frame: the step's own time adds to the interval.
    KillTimer(id);
    NextFrame();
    SetTimer(kAnimTimerId, m_nInterval, nullptr);
}

BOOL CAnimIcon::OnEraseBkgnd(void*) { return FALSE; }
