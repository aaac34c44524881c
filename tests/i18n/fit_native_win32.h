// What a control of a dialog made by the window system needs to show its text whole,
// measured with the font the control really has (under Wine that is not Windows'
// own). Standard types only: its half includes <windows.h>.
#pragma once

#include <functional>
#include <string>

struct ControlFit {
    std::string text;       // the control's text, UTF-8
    int width = 0;          // room for the text across, pixels
    int height = 0;         // room for the text down, pixels
    int needWidth = 0;      // the text's widest line as the control draws it
    int needHeight = 0;     // all its lines, wrapped where the control wraps
    bool measured = false;  // false: no text to show (or not a text control)
};

// The fit of the static, push button, check box or group box control (a native handle).
ControlFit MeasureControlFit(void* control);
// The fit of a window's caption in its title bar.
ControlFit MeasureCaptionFit(void* window);
// Runs show, which puts up a message box captioned caption and waits for it; while the
// box is up, measures its caption's fit and then cancels it. measured is false when no
// such box came up.
ControlFit MessageBoxCaptionFit(const std::string& caption, const std::function<void()>& show);
