// The real Save As dialog with the program's two file types: TIFF first and chosen
// unless the user picks another, and a name typed without an extension takes the
// chosen type's, the way the Windows dialog does it.
#include "platform/prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>

namespace {

const char kTypes[] = "TIFF image (*.TIF)\0*.TIF\0PDF document (*.pdf)\0*.pdf\0";

struct Seen {
    QStringList filters;
    QString selected;
};

// Shows Save As; once it is up, records it, picks the type at pickType (-1: none),
// types name and accepts. The path chosen, or "" when cancelled.
std::string SaveAs(int pickType, const char* name, Seen& seen, DWORD& chosenType)
{
    std::function<void()> act = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            if (!dlg || !dlg->isVisible()) continue;
            seen = {dlg->nameFilters(), dlg->selectedNameFilter()};
#ifdef QBX_TEST_OUTPUT_DIR
            dlg->grab().save(QStringLiteral(QBX_TEST_OUTPUT_DIR "/save-as-types.png"));
#endif
            if (pickType >= 0) {
                // As the user picks it: the combo box's choice, not a programmatic one.
                auto* types = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                if (types) {
                    types->setCurrentIndex(pickType);
                    emit types->activated(pickType);
                }
            }
            auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (edit) edit->setText(QString::fromUtf8(name));
            QMetaObject::invokeMethod(dlg, "accept");
            return;
        }
        QTimer::singleShot(10, act);
    };
    QTimer::singleShot(0, act);
    char path[MAX_PATH] = "";
    OPENFILENAME ofn;
    ofn.lpstrFilter = kTypes;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrInitialDir = "/tmp";
    ofn.lpstrDefExt = "TIF";
    ofn.nFilterIndex = 1;
    if (!GetSaveFileName(&ofn)) return std::string();
    chosenType = ofn.nFilterIndex;
    return path;
}

TEST(SaveAsTypes, TiffFirstAndTheChosenTypeGivesTheExtension)
{
    const struct {
        int pick;
        const char* typed;
        const char* endsWith;
        DWORD type;
    } rows[] = {
        {-1, "job", "/job.TIF", 1},
        {1, "report", "/report.pdf", 2},
        {1, "report.pdf", "/report.pdf", 2},
        {-1, "typed.pdf", "/typed.pdf", 1},
    };
    for (const auto& row : rows) {
        Seen seen;
        DWORD type = 0;
        const std::string path = SaveAs(row.pick, row.typed, seen, type);
        EXPECT_EQ(seen.filters, (QStringList{"TIFF image (*.TIF)", "PDF document (*.pdf)"})) << row.typed;
        EXPECT_EQ(seen.selected, "TIFF image (*.TIF)") << row.typed;
        ASSERT_GE(path.size(), std::strlen(row.endsWith)) << row.typed << ": " << path;
        EXPECT_EQ(path.substr(path.size() - std::strlen(row.endsWith)), row.endsWith) << row.typed;
        EXPECT_EQ(type, row.type) << row.typed;
    }
}

}  // namespace
