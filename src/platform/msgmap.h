// Message maps: tables that route messages, commands and notifications to handlers.
//
// A class declares DECLARE_MESSAGE_MAP() and defines its table with
// BEGIN_MESSAGE_MAP(Class, Base) ... END_MESSAGE_MAP(). CWnd::WindowProc looks a
// message up in the most derived table first, then in the base class's tables.
#pragma once

#include "platform/wintypes.h"

class CWnd;
class CCmdTarget;

enum class MsgMapKind { Message, Command, Notify, Timer, LButtonDown, EraseBkgnd };

struct MsgMapEntry {
    MsgMapKind kind;
    UINT message;  // Message: the message; Command/Notify: the control id
    UINT code;     // Notify: the notification code
    LRESULT (*handler)(CCmdTarget* self, WPARAM wParam, LPARAM lParam);
};

struct MsgMap {
    const MsgMap* (*base)();
    const MsgMapEntry* entries;
};

#define DECLARE_MESSAGE_MAP()                                                                                          \
public:                                                                                                                \
    static const MsgMap* GetThisMessageMap();                                                                          \
    const MsgMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                         \
    const MsgMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }                                      \
    const MsgMap* theClass::GetThisMessageMap()                                                                        \
    {                                                                                                                  \
        using ThisClass [[maybe_unused]] = theClass;                                                                   \
        using TheBaseClass = baseClass;                                                                                \
        static const MsgMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                                              \
    {                                                                                                                  \
        MsgMapKind::Message, 0, 0, nullptr                                                                             \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    static const MsgMap map = {&TheBaseClass::GetThisMessageMap, entries};                                             \
    return &map;                                                                                                       \
    }

// LRESULT Handler(WPARAM, LPARAM)
#define ON_MESSAGE(msg, fn)                                                                                            \
    {MsgMapKind::Message, (msg), 0,                                                                                    \
     [](CCmdTarget* s, WPARAM w, LPARAM l) -> LRESULT { return static_cast<ThisClass*>(s)->fn(w, l); }},

// void Handler()
#define ON_COMMAND(id, fn)                                                                                             \
    {MsgMapKind::Command, (id), 0, [](CCmdTarget* s, WPARAM, LPARAM) -> LRESULT {                                      \
         static_cast<ThisClass*>(s)->fn();                                                                             \
         return 1;                                                                                                     \
     }},

// void Handler() for a control notification
#define ON_CONTROL(code, id, fn)                                                                                       \
    {MsgMapKind::Notify, (id), (code), [](CCmdTarget* s, WPARAM, LPARAM) -> LRESULT {                                  \
         static_cast<ThisClass*>(s)->fn();                                                                             \
         return 1;                                                                                                     \
     }},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_SELCANCEL(id, fn) ON_CONTROL(LBN_SELCANCEL, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)

// void OnTimer(UINT_PTR id)
#define ON_WM_TIMER()                                                                                                  \
    {MsgMapKind::Timer, WM_TIMER, 0, [](CCmdTarget* s, WPARAM w, LPARAM) -> LRESULT {                                  \
         static_cast<ThisClass*>(s)->OnTimer(static_cast<UINT_PTR>(w));                                                \
         return 0;                                                                                                     \
     }},
// void OnClose()
#define ON_WM_CLOSE()                                                                                                  \
    {MsgMapKind::Message, WM_CLOSE, 0, [](CCmdTarget* s, WPARAM, LPARAM) -> LRESULT {                                  \
         static_cast<ThisClass*>(s)->OnClose();                                                                        \
         return 0;                                                                                                     \
     }},
// int OnCreate(void* createStruct)
#define ON_WM_CREATE()                                                                                                 \
    {MsgMapKind::Message, WM_CREATE, 0, [](CCmdTarget* s, WPARAM, LPARAM l) -> LRESULT {                               \
         return static_cast<ThisClass*>(s)->OnCreate(reinterpret_cast<void*>(l));                                      \
     }},
// void OnLButtonDown(UINT flags, POINT point)
#define ON_WM_LBUTTONDOWN()                                                                                            \
    {MsgMapKind::Message, WM_LBUTTONDOWN, 0, [](CCmdTarget* s, WPARAM w, LPARAM l) -> LRESULT {                        \
         POINT p;                                                                                                      \
         p.x = static_cast<short>(l & 0xFFFF);                                                                         \
         p.y = static_cast<short>((l >> 16) & 0xFFFF);                                                                 \
         static_cast<ThisClass*>(s)->OnLButtonDown(static_cast<UINT>(w), p);                                           \
         return 0;                                                                                                     \
     }},
// BOOL OnEraseBkgnd(void* dc)
#define ON_WM_ERASEBKGND()                                                                                             \
    {MsgMapKind::Message, WM_ERASEBKGND, 0, [](CCmdTarget* s, WPARAM w, LPARAM) -> LRESULT {                           \
         return static_cast<ThisClass*>(s)->OnEraseBkgnd(reinterpret_cast<void*>(w));                                  \
     }},
