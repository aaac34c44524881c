#include "platform/qt/qt_decorations.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef QBX_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif

void SetDialogFrameFunctions(QWidget* dialog, bool closeBox)
{
#ifdef QBX_HAVE_XCB
    if (!dialog || !dialog->isWindow()) return;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(kName)), kName), nullptr);
    if (!reply) return;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);

    // The Motif hints: flags, functions, decorations, input mode, status.
    constexpr uint32_t kFunctionsFlag = 1u << 0, kDecorationsFlag = 1u << 1;
    constexpr uint32_t kMove = 1u << 2, kClose = 1u << 5;
    constexpr uint32_t kBorder = 1u << 1, kTitle = 1u << 3, kMenu = 1u << 4;
    const uint32_t hints[5] = {kFunctionsFlag | kDecorationsFlag, kMove | (closeBox ? kClose : 0u),
                               kBorder | kTitle | (closeBox ? kMenu : 0u), 0, 0};
    const auto window = static_cast<xcb_window_t>(dialog->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom, atom, 32, 5, hints);
    xcb_flush(c);
#else
    (void)dialog;
    (void)closeBox;
#endif
}
