// Every control's text, in every language, fits its control at the dialog font: a
// translation that is cut ("Sortieren n") would hide what the control is for.
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The text as shown: "&&" is one "&", a lone "&" marks the key and takes no room.
QString Shown(const char* text)
{
    QString s = QString::fromUtf8(text);
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('&') && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

class TextFit : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { QbxRegisterResources(); }
    void TearDown() override { SetResourceLanguage("en"); }
    static int Px(int du) { return static_cast<int>(std::lround(du * QtPlatform::BaseUnitX() / 4.0)); }
    static int Py(int du) { return static_cast<int>(std::lround(du * QtPlatform::BaseUnitY() / 8.0)); }
};

TEST_P(TextFit, EveryControlTextFitsItsControl)
{
    ASSERT_STREQ(SetResourceLanguage(GetParam()), GetParam());
    const QFontMetrics fm(QtDialogFont());
    const ResourceModule* module = GetResourceModule();
    for (int d = 0; d < module->dialogCount; ++d) {
        const DlgTemplate* t = FindDialogTemplate(module->dialogs[d].id);
        for (int i = 0; i < t->itemCount; ++i) {
            const DlgItemTemplate& it = t->items[i];
            if (!*it.text || (it.style & 0x1F) == SS_ICON) continue;
            // A push button's frame and a group box's line take room on both sides.
            int room = Px(it.cx);
            if (it.cls == DlgItemClass::Button)
                room -= (it.style & 0x0F) == BS_GROUPBOX ? 16 : 8;
            else if (it.cls != DlgItemClass::Static)
                continue;
            // A static more than one line tall wraps its words, as the label does; a
            // word wider than the control is cut all the same.
            const bool wraps = it.cls == DlgItemClass::Static && (it.style & 0x1F) != SS_LEFTNOWORDWRAP && it.cy > 10;
            const QString shown = Shown(it.text);
            const QStringList lines = shown.split(QLatin1Char('\n'));
            int widest = 0, height = static_cast<int>(lines.size()) * fm.height();
            if (wraps) {
                const QRect used = fm.boundingRect(QRect(0, 0, room, 10000), Qt::TextWordWrap, shown);
                widest = used.width();
                height = used.height();
            } else {
                for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
            }
            EXPECT_LE(widest, room) << GetParam() << ", dialog " << t->id << ": \"" << it.text << "\" needs " << widest
                                    << " px, has " << room << " (" << it.cx << " dialog units)";
            if (it.cls == DlgItemClass::Static)
                EXPECT_LE(height, Py(it.cy) + 2)
                    << GetParam() << ", dialog " << t->id << ": \"" << it.text << "\" has too many lines";
        }
    }
}

// The texts the program sets while a dialog runs, in the real languages (the
// pseudo-language's 40 % is a margin for the templates' own texts).
using RunTimeTextFit = TextFit;

// The Printers Found status line is set while the dialog runs, so its texts are not in
// the template: each, with a four-digit count, must fit the one line it has.
TEST_P(RunTimeTextFit, PrintersFoundStatusFitsItsLine)
{
    ASSERT_STREQ(SetResourceLanguage(GetParam()), GetParam());
    const QFontMetrics fm(QtDialogFont());
    const DlgTemplate* t = FindDialogTemplate(IDD_FIND_PRINTER);
    ASSERT_NE(t, nullptr);
    int room = -1;
    for (int i = 0; i < t->itemCount; ++i)
        if (t->items[i].id == IDC_FIND_STATUS) room = Px(t->items[i].cx);
    ASSERT_GT(room, 0);
    for (UINT id : {IDS_FIND_LOOKING, IDS_FIND_FOUND_ONE, IDS_FIND_FOUND_N, IDS_FIND_NONE}) {
        const QString text = QString::asprintf(GetStringRes(id), 1000);
        EXPECT_LE(fm.horizontalAdvance(text), room)
            << GetParam() << ", string " << id << ": \"" << text.toStdString() << "\" is cut";
    }
}

// The main dialog's status line while the first listing waits for the saved printer:
// the name is cut to 16 characters, and the text with such a name fits the line.
TEST_P(RunTimeTextFit, SavedPrinterWaitFitsTheMainStatus)
{
    ASSERT_STREQ(SetResourceLanguage(GetParam()), GetParam());
    const QFontMetrics fm(QtDialogFont());
    const DlgTemplate* t = FindDialogTemplate(IDD_QUILLBOX_DIALOG);
    ASSERT_NE(t, nullptr);
    int room = -1;
    for (int i = 0; i < t->itemCount; ++i)
        if (t->items[i].id == IDC_STATUS) room = Px(t->items[i].cx);
    ASSERT_GT(room, 0);
    const QString text = QString::asprintf(GetStringRes(IDS_LOOKING_FOR_SAVED), "Office Laser MF4\u2026");
    EXPECT_LE(fm.horizontalAdvance(text), room) << GetParam() << ": \"" << text.toStdString() << "\" is cut";
}

// The waits shown in the copy's Status line wrap onto its two lines and no further.
TEST_P(RunTimeTextFit, WaitsFitTheProgressStatus)
{
    ASSERT_STREQ(SetResourceLanguage(GetParam()), GetParam());
    const QFontMetrics fm(QtDialogFont());
    const DlgTemplate* t = FindDialogTemplate(IDD_PROGRESS);
    ASSERT_NE(t, nullptr);
    QRect room;
    for (int i = 0; i < t->itemCount; ++i)
        if (t->items[i].id == IDC_XFER_STATUS) room = QRect(0, 0, Px(t->items[i].cx), Py(t->items[i].cy) + 2);
    ASSERT_FALSE(room.isEmpty());
    for (UINT id : {IDS_WAITING_FOR_DATA, IDS_WAITING_FOR_SCAN}) {
        const QString text = QString::fromUtf8(GetStringRes(id));
        const QRect used = fm.boundingRect(QRect(0, 0, room.width(), 1000), Qt::TextWordWrap, text);
        EXPECT_LE(used.height(), room.height())
            << GetParam() << ", string " << id << ": \"" << text.toStdString() << "\" needs more than two lines";
        EXPECT_LE(used.width(), room.width()) << GetParam() << ", string " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFit, ::testing::Values("en", "de", "fr", "es", "qps"));
INSTANTIATE_TEST_SUITE_P(Languages, RunTimeTextFit, ::testing::Values("en", "de", "fr", "es"));

}  // namespace
