// Closing the file list (Close, Esc, the close box) hands the program back to the
// main dialog; and a picture of the list as users see it.
#include "file_list_fixture.h"

#include "platform/resources.h"

#include <QtCore/qnamespace.h>

#include <fstream>

namespace {

enum class Way { CloseButton, Escape, CloseBox };

class FileListClose : public FileListTest, public ::testing::WithParamInterface<Way> {
protected:
    void CloseTheList(Way way)
    {
        switch (way) {
        case Way::CloseButton: AppHarness::Click(Dlg(), IDOK); break;
        case Way::Escape: AppHarness::PressKey(Dlg(), Qt::Key_Escape); break;
        case Way::CloseBox: AppHarness::CloseBox(Dlg()); break;
        }
        h->PumpPending();
    }
};

}  // namespace

TEST_P(FileListClose, WritesSortByAndBringsBackTheMainDialogReadyForANewUser)
{
    Start();
    File("001", "20000101000000", "10");
    File("002", "20000102000000", "20");
    f->m_pMainDlg->SetDlgItemText(IDC_USERID, "1234");
    ReceiveAndShow();
    Choose(2);
    ClickLine(1);

    CloseTheList(GetParam());

    EXPECT_NE(h->ReadIni().find("SortBy=107"), std::string::npos) << h->ReadIni();
    EXPECT_FALSE(g_bDirectoryLoaded);
    EXPECT_EQ(Dlg()->m_hWnd, 0u);  // the window is gone, the object stays for the next listing
    CQuillboxDlg* main = h->MainDlg();
    EXPECT_FALSE(f->m_bBusy);
    EXPECT_TRUE(main->m_btnOK.IsWindowEnabled());
    char id[16] = "x";
    main->GetDlgItemText(IDC_USERID, id, sizeof id);
    EXPECT_STREQ(id, "");
    EXPECT_TRUE(main->GetDlgItem(IDC_USERID)->HasFocus());
    // The selection at Close is counted for the frame.
    EXPECT_EQ(f->m_nFilesLeft, 1);
    EXPECT_TRUE(f->m_bSingleFile);
}

INSTANTIATE_TEST_SUITE_P(Ways, FileListClose, ::testing::Values(Way::CloseButton, Way::Escape, Way::CloseBox));

TEST_F(FileListTest, TheListComesBackAfterCloseWithTheRememberedViewBy)
{
    Start();
    File("001", "20000101000000", "10");
    File("002", "20000102000000", "20");
    ReceiveAndShow();
    Choose(1);
    AppHarness::Click(Dlg(), IDOK);
    h->PumpPending();
    ASSERT_EQ(Dlg()->m_hWnd, 0u);
    CRetrieveDlg* first = Dlg();

    ReceiveAndShow();
    EXPECT_EQ(Dlg(), first);
    EXPECT_EQ(ViewBy(), "Size");
    EXPECT_EQ(Order(), (std::vector<int>{1, 0}));
    EXPECT_TRUE(ButtonsEnabled(false));
}

TEST_F(FileListTest, ScreenshotOfARealisticList)
{
    Start();
    File("007", "19991213093005", "48213");
    File("012", "20000105142210", "1250882");
    File("003", "19991120081502", "731044");
    File("007", "19991214101500", "52117");  // the same display name again
    File("015", "20000110170033", "2097152");
    File("001", "19990704120000", "10240");
    File("021", "20000201090909", "8388607");
    File("009", "19991231235959", "96512");
    File("018", "20000115060000", "412389");
    File("004", "19991201103000", "33333");
    File("030", "20000301114500", "5120000");
    File("010", "20000102000001", "77001");
    ReceiveAndShow();
    ClickLine(2);
    ClickLine(5);

    const std::string path = AppHarness::DocScreenshot(Dlg(), "file-list");
    EXPECT_TRUE(std::ifstream(path).good()) << path;
    EXPECT_EQ(Lines().size(), 12u);
}

// The list in another language, picked by the settings file: the dialog's texts, the
// View By items and the dates in that language's short form, the order unchanged. The
// German picture is the README's; the pseudo-language (accented, 40 % longer) shows
// texts that would be cut or were never put into the catalogue.
class FileListLanguage : public FileListTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        FileListTest::TearDown();
        SetResourceLanguage("en");
    }
};

TEST_P(FileListLanguage, ShowsTheListInTheLanguageOfTheSettings)
{
    const std::string language = GetParam();
    Start("[QBXConfig]\nLanguage=" + language + "\n");
    ASSERT_EQ(std::string(GetResourceLanguage()), language);
    File("007", "19991213093005", "48213");
    File("012", "20000105142210", "1250882");
    File("003", "19991120081502", "731044");
    File("015", "20000110170033", "2097152");
    ReceiveAndShow();
    Choose(2);
    ClickLine(1);

    struct Expected {
        const char* language;
        const char* caption;
        const char* viewBy;
        const char* firstLine;
    } expected[] = {
        {"de", "Gescannte Dateien abrufen", "Datum & Uhrzeit", "015.TIF\t2097152\t10.01.00\t17:00:33"},
        {"fr", "Récupérer les fichiers numérisés", "Date & heure", "015.TIF\t2097152\t10/01/00\t17:00:33"},
        {"es", "Recuperar archivos escaneados", "Fecha & hora", "015.TIF\t2097152\t10/01/00\t17:00:33"},
    };
    for (const Expected& e : expected) {
        if (language != e.language) continue;
        EXPECT_EQ(Dlg()->GetWindowTextString(), e.caption);
        EXPECT_EQ(ViewBy(), e.viewBy);
        ASSERT_FALSE(Lines().empty());
        EXPECT_EQ(Lines()[0], e.firstLine);
    }
    // Newest first, whatever the date looks like.
    EXPECT_EQ(Order(), (std::vector<int>{3, 1, 0, 2}));
    const std::string path = language == "de" ? AppHarness::DocScreenshot(Dlg(), "file-list-de")
                                              : AppHarness::Screenshot(Dlg(), "file-list-" + language);
    EXPECT_TRUE(std::ifstream(path).good()) << path;
}

INSTANTIATE_TEST_SUITE_P(Languages, FileListLanguage, ::testing::Values("de", "fr", "es", "qps"));
