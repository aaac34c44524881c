// Real X input for tests and benchmarks on an X server with a window manager: xdotool
// sends keys and clicks through the server. Keys and clicks meant for one of the
// program's windows go to that window by id, so they do not depend on when a busy
// window manager gets round to activating it; clicks on the window manager's own frame
// (the close box) go through the server's pointer (XTEST) as a user's do. Used only
// where Qt runs on xcb.
#pragma once

#include "platform/wintypes.h"

#include <QGuiApplication>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

class CWnd;
QWidget* QtWidgetOfHandle(HWND hwnd);

inline bool OnXcb() { return QGuiApplication::platformName() == QStringLiteral("xcb"); }

// Runs xdotool with args; true when it succeeded.
inline bool Xdo(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0; }

// Runs xdotool's command verb aimed at a top-level window by id ("key", "type",
// "click"), with the rest of its arguments; true when it succeeded.
inline bool XdoTo(HWND hwnd, const std::string& verb, const std::string& args)
{
    QWidget* w = QtWidgetOfHandle(hwnd);
    return w && Xdo(verb + " --window " + std::to_string(w->winId()) + " " + args);
}

inline bool FrameExtents(unsigned long window, int extents[4]);

// Whether the X server shows a window (mapped, and so are its parents).
inline bool IsViewable(unsigned long window)
{
    std::string cmd = "xwininfo -id " + std::to_string(window) + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char line[256];
    bool viewable = false;
    while (std::fgets(line, sizeof line, p))
        if (std::strstr(line, "Map State: IsViewable")) viewable = true;
    pclose(p);
    return viewable;
}

// Runs the program's loop (pump) until the window manager has framed and shown a
// top-level window. A busy window manager may take many seconds; it is waited for
// (up to about a minute), so only a window that never appears fails the caller.
template <typename Pump>
bool WaitUntilShown(HWND hwnd, Pump pump)
{
    for (int attempt = 0; attempt < 600; ++attempt) {
        pump();
        QWidget* w = QtWidgetOfHandle(hwnd);
        if (!w) return false;
        int extents[4];
        if (IsViewable(w->winId()) && FrameExtents(w->winId(), extents)) return true;
    }
    // What the server says of the window, for the reader of a failed run.
    if (QWidget* w = QtWidgetOfHandle(hwnd)) {
        int extents[4];
        std::fprintf(stderr, "window 0x%lx: %s, %s\n", static_cast<unsigned long>(w->winId()),
                     IsViewable(w->winId()) ? "shown" : "not shown",
                     FrameExtents(w->winId(), extents) ? "framed" : "no frame from the window manager");
        std::fflush(stderr);
    }
    return false;
}

// The window manager's frame around a top-level window: left, right, top, bottom.
inline bool FrameExtents(unsigned long window, int extents[4])
{
    std::string cmd = "xprop -id " + std::to_string(window) + " _NET_FRAME_EXTENTS 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char line[256] = {};
    bool ok = std::fgets(line, sizeof line, p) != nullptr;
    pclose(p);
    const char* eq = ok ? std::strchr(line, '=') : nullptr;
    return eq && std::sscanf(eq + 1, " %d , %d , %d , %d", &extents[0], &extents[1], &extents[2], &extents[3]) == 4;
}

// Moves the pointer onto the close box in the window manager's title bar of a top-level
// window: the right end of the title bar, as a user aims at it. False without one.
inline bool PointAtCloseBox(HWND hwnd)
{
    QWidget* w = QtWidgetOfHandle(hwnd);
    int extents[4];
    if (!w || !FrameExtents(w->winId(), extents) || extents[2] < 8) return false;
    const QRect client = w->geometry();
    const int titleHeight = extents[2];
    const int x = client.right() + extents[1] - titleHeight / 2 + 1;
    const int y = client.top() - titleHeight / 2;
    return Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y));
}

// Clicks the close box of a top-level window.
inline bool ClickCloseBox(HWND hwnd) { return PointAtCloseBox(hwnd) && Xdo("click 1"); }
