// The real message boxes: each kind the program shows is wide enough for its caption on
// a window's frame, with its text, caption and buttons as given.
#include "app_harness.h"
#include "platform/prompts.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>

namespace {

struct Shown {
    QString caption, text;
    int width = -1;
    int buttons = 0;
};

// Runs one message box, records it once shown and closes it with its escape button.
Shown ShowAndClose(const char* text, const char* caption, UINT type, const std::string& shotName = {})
{
    Shown shown;
    std::function<void()> look = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            shown = {box->windowTitle(), box->text(), box->width(), static_cast<int>(box->buttons().size())};
            // A picture of each (on a scaled screen its texts are checked not to be cut).
            if (!shotName.empty()) AppHarness::ScreenshotOf(box, shotName);
            box->escapeButton()->click();
            return;
        }
        QTimer::singleShot(10, look);
    };
    QTimer::singleShot(0, look);
    MessageBox(0, text, caption, type);
    return shown;
}

}  // namespace

TEST(MessageBoxes, EveryKindIsAtLeastAsWideAsItsCaptionNeedsOnTheFrame)
{
    struct Case {
        const char* caption;
        const char* text;
        UINT type;
        int buttons;
    } cases[] = {
        {"Bad User ID", "Please enter from 1 to 8 decimal digits", MB_OK, 1},
        {"Socket Connection Error", "The attempt to connect was rejected.", MB_OK, 1},
        {"Socket Creation Error", "The specified address is not available from the local machine.", MB_OK, 1},
        {"Socket error while receiving", "The virtual circuit was reset by the remote side.", MB_OK, 1},
        {"File not found", "No files matching this User ID", MB_OK, 1},
        {"Memory allocation error", "Cannot bring directory into memory", MB_OK, 1},
        {"File not copied", "The printer no longer has the file 007.TIF, so it was not copied.", MB_OK, 1},
        {"/home/someone/Scans/job007.TIF:  Already exists", "Do you wish to overwrite this file?",
         MB_YESNOCANCEL | MB_ICONQUESTION, 3},
    };
    int n = 0;
    for (const Case& c : cases) {
        Shown s = ShowAndClose(c.text, c.caption, c.type, "message-box-" + std::to_string(++n));
        EXPECT_EQ(s.caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(s.text, QString::fromUtf8(c.text));
        EXPECT_EQ(s.buttons, c.buttons) << c.caption;
        // Never wider than nine tenths of the screen: a caption longer than that (a long
        // path, or any long one on the small screen a scale of 2 leaves) is cut anyway.
        const int screen = QGuiApplication::primaryScreen()->availableGeometry().width() * 9 / 10;
        EXPECT_GE(s.width, std::min(QtCaptionWidth(c.caption), screen)) << c.caption;
    }
}

// The check the scaled screenshots make: a label too narrow or too low for its text is
// caught, one that fits is not.
TEST(ScreenshotCheck, FindsATextCutAtALabelsRightOrBottomEdge)
{
    QWidget window;
    window.resize(400, 100);
    window.setStyleSheet(QStringLiteral("background: #efefef; color: black"));
    auto* label = new QLabel(QStringLiteral("Time Left: 0:0:27"), &window);
    label->setFont(QtDialogFont());
    window.show();
    label->setGeometry(10, 10, 300, 30);
    AppHarness::ExpectNoTextCut(&window, "fits");
    label->setGeometry(10, 10, label->sizeHint().width() / 2, 30);
    EXPECT_NONFATAL_FAILURE(AppHarness::ExpectNoTextCut(&window, "too narrow"), "cut at its right edge");
    label->setGeometry(10, 10, 300, label->sizeHint().height() / 2);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    EXPECT_NONFATAL_FAILURE(AppHarness::ExpectNoTextCut(&window, "too low"), "cut at its bottom edge");
}
