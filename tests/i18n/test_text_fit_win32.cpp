// Every dialog in every language as the window system makes it (under Wine: with
// Wine's dialog font, wider than Windows' own): each static text, button and group
// caption shows whole, and so does each dialog's caption in its title bar. The dialogs
// are made hidden and never shown.
#include "fit_native_win32.h"

#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/win32/win32_native.h"
#include "platform/win32/win32_template.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

class NoReports : public native::IDialogSink {
public:
    void Command(int, unsigned, native::Handle) override {}
    void LeftButtonDown(int, int) override {}
};

class NativeTextFit : public ::testing::Test {
protected:
    void SetUp() override { QbxRegisterResources(); }
    void TearDown() override { SetResourceLanguage("en"); }
    void CheckDialogs(const char* language);
};

// Every language in one run: a Wine process start costs more than the measuring.
TEST_F(NativeTextFit, EveryControlTextAndCaptionShowsWholeInEveryLanguage)
{
    for (const char* language : {"en", "de", "fr", "es", "qps"}) CheckDialogs(language);
}

void NativeTextFit::CheckDialogs(const char* language)
{
    ASSERT_STREQ(SetResourceLanguage(language), language);
    const ResourceModule* module = GetResourceModule();
    for (int d = 0; d < module->dialogCount; ++d) {
        const DlgTemplate* t = FindDialogTemplate(module->dialogs[d].id);
        ASSERT_NE(t, nullptr);
        int defaultId = 0;
        NoReports sink;
        native::Handle dlg = native::CreateDialogFromTemplate(BuildDialogTemplate(*t, &defaultId), nullptr, &sink);
        ASSERT_NE(dlg, nullptr) << "dialog " << t->id;
        const std::vector<native::Handle> controls = native::DialogControls(dlg);
        ASSERT_EQ(static_cast<int>(controls.size()), t->itemCount) << "dialog " << t->id;
        for (int i = 0; i < t->itemCount; ++i) {
            const ControlFit fit = MeasureControlFit(controls[static_cast<std::size_t>(i)]);
            if (!fit.measured) continue;
            const DlgItemTemplate& it = t->items[i];
            EXPECT_LE(fit.needWidth, fit.width)
                << language << ", dialog " << t->id << ": \"" << fit.text << "\" needs " << fit.needWidth
                << " px across, has " << fit.width << " (" << it.cx << " dialog units)";
            EXPECT_LE(fit.needHeight, fit.height)
                << language << ", dialog " << t->id << ": \"" << fit.text << "\" needs " << fit.needHeight
                << " px down (wrapped), has " << fit.height << " (" << it.cy << " dialog units)";
        }
        const ControlFit caption = MeasureCaptionFit(dlg);
        EXPECT_TRUE(caption.measured) << "dialog " << t->id;
        EXPECT_LE(caption.needWidth, caption.width)
            << language << ", dialog " << t->id << ": caption \"" << caption.text << "\" needs " << caption.needWidth
            << " px, the title bar has " << caption.width;
        native::DestroyDialog(dlg);
        native::FreeDestroyedDialogs();
    }
}

// A message box is only as wide as its text and buttons: the longest caption the
// program gives one, a printer's file name before "Already exists", over its shortest
// text, in every language, shows whole.
TEST_F(NativeTextFit, AMessageBoxShowsItsWholeCaption)
{
    for (const char* language : {"en", "de", "fr", "es", "qps"}) {
        ASSERT_STREQ(SetResourceLanguage(language), language);
        char caption[256];
        std::snprintf(caption, sizeof caption, GetStringRes(IDS_ALREADY_EXISTS_OF), "1234(12)(20241231235959).TIF");
        const ControlFit fit = MessageBoxCaptionFit(caption, [&] {
            MessageBox(0, GetStringRes(IDS_OVERWRITE_QUESTION), caption, MB_YESNOCANCEL | MB_ICONQUESTION);
        });
        ASSERT_TRUE(fit.measured) << language << ": no box came up";
        EXPECT_LE(fit.needWidth, fit.width)
            << language << ": caption \"" << fit.text << "\" needs " << fit.needWidth << " px, has " << fit.width;
    }
}

}  // namespace
