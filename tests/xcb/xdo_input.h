// Real X input for tests and benchmarks on an X server with a window manager: xdotool
// sends keys and clicks through the server (XTEST), so they reach the program the way a
// user's do. Used only where Qt runs on xcb.
#pragma once

#include "platform/wintypes.h"

#include <QGuiApplication>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdlib>
#include <string>

class CWnd;
QWidget* QtWidgetOfHandle(HWND hwnd);

inline bool OnXcb() { return QGuiApplication::platformName() == QStringLiteral("xcb"); }

// Runs xdotool with args; true when it succeeded.
inline bool Xdo(const std::string& args)
{
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// Makes a top-level window the active one, with the keyboard focus.
inline bool ActivateWindow(HWND hwnd)
{
    QWidget* w = QtWidgetOfHandle(hwnd);
    return w && Xdo("windowactivate --sync " + std::to_string(w->winId()));
}

// Clicks the close box in the window manager's title bar of a top-level window: the
// right end of the title bar, as a user aims at it. False without a title bar.
inline bool ClickCloseBox(HWND hwnd)
{
    QWidget* w = QtWidgetOfHandle(hwnd);
    if (!w) return false;
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    const int titleHeight = client.top() - frame.top();
    if (titleHeight < 8) return false;
    const int x = frame.right() - titleHeight / 2 - 2;
    const int y = frame.top() + titleHeight / 2;
    return Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}
