// The window system's own modal loops (a message box, Save As) keep the program's queue
// running: messages posted before and during the prompt are dispatched and window timers
// tick while it is up, as they do inside the program's own modal loops.
#include "platform_fixture.h"
#include "prompt_closer_win32.h"

#include "platform/prompts.h"

namespace {

using NativeModalLoops = PlatformTest;

TEST_F(NativeModalLoops, TheQueueAndTimersRunInsideAMessageBoxAndSaveAs)
{
    for (const bool saveAs : {false, true}) {
        std::vector<Seen> log;
        RecorderWnd frame(&log);
        int ticks = 0;
        bool posted = false, cancelled = false;
        frame.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
            if (m == WM_USER + 1) posted = true;
            // The second tick can only come while the prompt is up: it closes it.
            if (m == WM_TIMER && ++ticks == 2) cancelled = CancelOpenPrompt();
            return 0;
        };
        frame.PostMessage(WM_USER + 1);
        frame.SetTimer(1, 50);
        if (saveAs) {
            char path[MAX_PATH] = "scan.TIF";
            OPENFILENAME ofn;
            ofn.lpstrFilter = "*.TIF\0*.TIF\0";
            ofn.lpstrFile = path;
            ofn.nMaxFile = sizeof path;
            ofn.lpstrDefExt = "TIF";
            EXPECT_FALSE(GetSaveFileName(&ofn)) << "cancelled";
        } else {
            EXPECT_EQ(MessageBox(0, "Replace it?", "scan.TIF Already exists", MB_YESNOCANCEL | MB_ICONQUESTION),
                      IDCANCEL);
        }
        frame.KillTimer(1);
        EXPECT_TRUE(posted) << (saveAs ? "Save As" : "message box");
        EXPECT_GE(ticks, 2) << (saveAs ? "Save As" : "message box");
        EXPECT_TRUE(cancelled) << "the timer ran, but no prompt was up";
    }
}

}  // namespace
