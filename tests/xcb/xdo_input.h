// Real X input for tests and benchmarks on an X server with a window manager: xdotool
// sends keys and clicks through the server (XTEST), so they reach the program the way a
// user's do. Used only where Qt runs on xcb.
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

// Makes a top-level window the active one, with the keyboard focus. pump runs the
// program's loop a little: the window manager maps a new window only after the
// program's requests reached the server.
template <typename Pump>
bool ActivateWindow(HWND hwnd, Pump pump)
{
    // Up to about 10 s: on a loaded machine (a sanitizer build, other tests) the
    // window manager may take seconds to map and activate a new window.
    for (int attempt = 0; attempt < 200; ++attempt) {
        pump();
        QWidget* w = QtWidgetOfHandle(hwnd);
        if (!w) return false;
        if (Xdo("windowactivate --sync " + std::to_string(w->winId()))) return true;
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
