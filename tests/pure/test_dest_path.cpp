#include "retrieval/DestPath.h"

#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Build(const char* chosen, BOOL single, const char* name, const char* dup, std::string* destName = nullptr)
{
    char p[MAX_PATH], n[MAX_PATH];
    if (!BuildDestPath(chosen, single, name, dup, p, n)) return "<refused>";
    if (destName != nullptr) *destName = n;
    return p;
}

// The file names a batch gets ({"<refused>"} when it is refused), each full path
// checked to be the chosen path's folder and the name.
std::vector<std::string> BatchNames(const char* chosen, const std::vector<DestRequest>& requests,
                                    NameKeyFn key = FileNameKey)
{
    std::vector<DestFile> out;
    if (!BuildBatchDestPaths(chosen, FALSE, requests, key, out)) return {"<refused>"};
    const std::string folder(chosen, static_cast<std::size_t>(std::strrchr(chosen, '/') + 1 - chosen));
    std::vector<std::string> names;
    for (const DestFile& f : out) {
        EXPECT_EQ(f.path, folder + f.name);
        names.push_back(f.name);
    }
    return names;
}

TEST(DestPath, SplitPath)
{
    const char* cases[][5] = {
        {"C:\\Scans\\job.TIF", "C:", "\\Scans\\", "job", ".TIF"},
        {"/home/u/my.scans/a.b.TIF", "", "/home/u/my.scans/", "a.b", ".TIF"},
        {"/home/u/my.scans/job", "", "/home/u/my.scans/", "job", ""},
        {"/x/a:b.TIF", "", "/x/", "a:b", ".TIF"},
        {"mixed/dir\\name", "", "mixed/dir\\", "name", ""},
    };
    for (auto& c : cases) {
        char d[MAX_PATH], f[MAX_PATH], n[MAX_PATH], e[MAX_PATH];
        SplitPath(c[0], d, f, n, e);
        EXPECT_EQ(std::string(d) + "|" + f + "|" + n + "|" + e,
                  std::string(c[1]) + "|" + c[2] + "|" + c[3] + "|" + c[4]);
    }
}

TEST(DestPath, SeveralFilesGetTheirOwnNames)
{
    for (std::string folder : {"C:\\Scans\\", "/home/u/scans/"}) {
        std::string chosen = folder + "job.TIF", name;
        EXPECT_EQ(Build(chosen.c_str(), FALSE, "007.TIF", "", &name), folder + "job007.TIF");
        EXPECT_EQ(name, "job007.TIF");
        EXPECT_EQ(Build(chosen.c_str(), FALSE, "008.TIF", ""), folder + "job008.TIF");
        EXPECT_EQ(Build(chosen.c_str(), FALSE, "007.TIF", "1", &name), folder + "job007_1.TIF");
        EXPECT_EQ(name, "job007_1.TIF");
    }
    EXPECT_EQ(Build("/s/job", FALSE, "007.TIF", ""), "/s/job007");          // no extension chosen
    EXPECT_EQ(Build("/s/job.TIF", FALSE, "007", "2"), "/s/job007_2.TIF");   // name without "."
    EXPECT_EQ(Build("/s/job.TIF", FALSE, "007.a.b", ""), "/s/job007.TIF");  // up to the first "."
}

TEST(DestPath, SingleFileKeepsTheChosenPath)
{
    std::string name;
    EXPECT_EQ(Build("C:\\Out\\scan.TIF", TRUE, "007.TIF", "3", &name), "C:\\Out\\scan.TIF");
    EXPECT_EQ(name, "scan.TIF");
}

TEST(DestPath, RefusesWhatDoesNotFit)
{
    std::string chosen = "/" + std::string(240, 'f') + "/job.TIF";  // 249 characters
    EXPECT_EQ(Build(chosen.c_str(), FALSE, "0000007.TIF", "12").size(), 259u);
    EXPECT_EQ(Build(chosen.c_str(), FALSE, "0000007.TIF", "123"), "<refused>");
    EXPECT_EQ(Build(std::string(300, 'x').c_str(), TRUE, "1.TIF", ""), "<refused>");
    EXPECT_EQ(Build("", TRUE, "1.TIF", ""), "<refused>");
}

// A batch never gives two files one name: the later of two files that would share a
// name gets the next "_N" that no file of the batch has or would get by itself.
TEST(DestPath, BatchNamesAreUnique)
{
    const struct {
        const char* what;
        std::vector<DestRequest> requests;
        std::vector<std::string> names;
    } cases[] = {
        {"no clash",
         {{"007.TIF", ""}, {"008.TIF", ""}, {"007.TIF", "1"}},
         {"job007.TIF", "job008.TIF", "job007_1.TIF"}},
        {"two extensions, one stem", {{"007.TIF", ""}, {"007.TIFF", ""}}, {"job007.TIF", "job007_1.TIF"}},
        {"the clash does not take a later file's own name",
         {{"007.TIF", ""}, {"007.TIFF", ""}, {"007.TIF", "1"}},
         {"job007.TIF", "job007_2.TIF", "job007_1.TIF"}},
        {"two of each",
         {{"007.TIF", ""}, {"007.TIF", "1"}, {"007.TIFF", ""}, {"007.TIFF", "1"}, {"008.TIF", ""}},
         {"job007.TIF", "job007_1.TIF", "job007_2.TIF", "job007_3.TIF", "job008.TIF"}},
        {"names that differ only in case", {{"abc.TIF", ""}, {"ABC.TIF", ""}}, {"jobabc.TIF", "jobABC_1.TIF"}},
        {"no extension in the display name", {{"007", ""}, {"007.TIF", ""}}, {"job007.TIF", "job007_1.TIF"}},
        {"accented capital and small letter",
         {{"\xC3\x89x.TIF", ""}, {"\xC3\xA9x.TIF", ""}},
         {"job\xC3\x89x.TIF", "job\xC3\xA9x_1.TIF"}},
        {"Greek, Cyrillic, Latin Extended-A",
         {{"\xCE\xA3.TIF", ""},
          {"\xCF\x83.TIF", ""},
          {"\xD0\x96.TIF", ""},
          {"\xD0\xB6.TIF", ""},
          {"\xC5\x81.TIF", ""},
          {"\xC5\x82.TIF", ""}},
         {"job\xCE\xA3.TIF", "job\xCF\x83_1.TIF", "job\xD0\x96.TIF", "job\xD0\xB6_1.TIF", "job\xC5\x81.TIF",
          "job\xC5\x82_1.TIF"}},
        {"letters that are not one another's case stay apart",
         {{"\xC3\x97.TIF", ""}, {"\xC3\xB7.TIF", ""}},
         {"job\xC3\x97.TIF", "job\xC3\xB7.TIF"}},
        // Widened for Windows, both would be U+FFFD: each byte keeps a name of its own.
        {"bytes that are not UTF-8 are written out",
         {{"\xC9x.TIF", ""}, {"\xE9x.TIF", ""}, {"\xC9x.TIF", "1"}, {"%C9x.TIF", ""}},
         {"job%C9x.TIF", "job%E9x.TIF", "job%C9x_1.TIF", "job%C9x_2.TIF"}},
        // Pairs a small folding table misses, one file on NTFS and on exFAT.
        {"fullwidth, Latin Extended-B and dotless i",
         {{"\xEF\xBC\xA1.TIF", ""},
          {"\xEF\xBD\x81.TIF", ""},
          {"\xC7\x8D"
           "1.TIF",
           ""},
          {"\xC7\x8E"
           "1.TIF",
           ""},
          {"\xC4\xB1x.TIF", ""},
          {"Ix.TIF", ""}},
         {"job\xEF\xBC\xA1.TIF", "job\xEF\xBD\x81_1.TIF",
          "job\xC7\x8D"
          "1.TIF",
          "job\xC7\x8E"
          "1_1.TIF",
          "job\xC4\xB1x.TIF", "jobIx_1.TIF"}},
    };
    for (auto& c : cases) EXPECT_EQ(BatchNames("/s/job.TIF", c.requests), c.names) << c.what;
}

// Names Windows keeps for devices, and characters no Windows folder takes, get a name
// that is a file's in every folder; the batch keeps them apart from the scans whose
// own names they now resemble.
TEST(DestPath, NamesWindowsWouldNotTakeGetSafeOnes)
{
    const struct {
        const char* chosen;
        std::vector<DestRequest> requests;
        std::vector<std::string> names;
    } cases[] = {
        {"/s/.TIF",
         {{"NUL.TIF", ""}, {"con.TIF", ""}, {"AUX.TIF", "1"}, {"PRN.TIF", ""}, {"COM1.TIF", ""}, {"lpt9.TIF", ""}},
         {"NUL_.TIF", "con_.TIF", "AUX_1.TIF", "PRN_.TIF", "COM1_.TIF", "lpt9_.TIF"}},
        {"/s/.TIF", {{"NUL.TIF", ""}, {"NUL_.TIF", ""}}, {"NUL_.TIF", "NUL__1.TIF"}},
        {"/s/.TIF", {{"COM10.TIF", ""}, {"NULL.TIF", ""}}, {"COM10.TIF", "NULL.TIF"}},
        {"/s/job.TIF", {{"NUL.TIF", ""}}, {"jobNUL.TIF"}},
        {"/s/", {{"CON.TIF", ""}, {"7 .TIF", ""}}, {"CON_", "7%20"}},
        {"/s/.TIF",
         {{"a<b.TIF", ""}, {"a>b.TIF", ""}, {"a:b|c.TIF", ""}, {"q?\".TIF", ""}, {"x*\t.TIF", ""}, {"a\\b.TIF", ""}},
         {"a%3Cb.TIF", "a%3Eb.TIF", "a%3Ab%7Cc.TIF", "q%3F%22.TIF", "x%2A%09.TIF", "a%5Cb.TIF"}},
        // Letters whose code's low byte is one of those characters stay letters.
        {"/s/.TIF", {{"\xC4\xBC\xC4\xBE.TIF", ""}}, {"\xC4\xBC\xC4\xBE.TIF"}},
    };
    for (auto& c : cases) EXPECT_EQ(BatchNames(c.chosen, c.requests), c.names) << c.chosen;
    // The name the user typed in Save As for one file is used as typed.
    EXPECT_EQ(Build("/s/NUL.TIF", TRUE, "NUL.TIF", ""), "/s/NUL.TIF");
}

// The folder's comparison decides what clashes: on a folder that tells case apart,
// names that differ in case keep their own names.
TEST(DestPath, TheFoldersComparisonDecidesWhatClashes)
{
    const std::vector<DestRequest> requests = {{"abc.TIF", ""}, {"ABC.TIF", ""}, {"abc.TIF", ""}};
    const NameKeyFn exact = [](const std::string& name) { return name; };
    EXPECT_EQ(BatchNames("/s/.TIF", requests, exact), (std::vector<std::string>{"abc.TIF", "ABC.TIF", "abc_1.TIF"}));
    EXPECT_EQ(BatchNames("/s/.TIF", requests), (std::vector<std::string>{"abc.TIF", "ABC_1.TIF", "abc_2.TIF"}));
}

TEST(DestPath, BatchOfOneFileAndRefusals)
{
    std::vector<DestFile> out;
    ASSERT_TRUE(BuildBatchDestPaths("/s/scan.TIF", TRUE, {{"007.TIF", "4"}}, FileNameKey, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].path, "/s/scan.TIF");

    // The second file's own name fits; the suffix its clash needs does not.
    std::string chosen = "/" + std::string(240, 'f') + "/job.TIF";  // 249 characters: 10 to spare
    std::size_t refused = 99;
    EXPECT_FALSE(BuildBatchDestPaths(chosen.c_str(), FALSE, {{"123456789.TIF", ""}, {"123456789.TIFF", ""}},
                                     FileNameKey, out, &refused));
    EXPECT_EQ(refused, 1u);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(BuildBatchDestPaths("", FALSE, {{"1.TIF", ""}}, FileNameKey, out, &refused));
    EXPECT_EQ(refused, 0u);
    EXPECT_TRUE(BuildBatchDestPaths("/s/job.TIF", FALSE, {}, FileNameKey, out));
    EXPECT_TRUE(out.empty());
}

}  // namespace

#include "platform/prompts.h"

#include <cstring>

namespace {

// Save As answers as the system's dialog would, without any extension added.
class AnsweringPrompts : public IPrompts {
public:
    explicit AnsweringPrompts(const char* answer) : m_answer(answer) {}
    int MessageBox(HWND, const char*, const char*, UINT) override { return IDOK; }
    BOOL GetSaveFileName(OPENFILENAME* ofn) override
    {
        std::snprintf(ofn->lpstrFile, ofn->nMaxFile, "%s", m_answer);
        return TRUE;
    }

private:
    const char* m_answer;
};

// One rule on every system: the default extension "TIF" is added, in its own letter
// case, to a chosen name without one; a name the user gave one keeps it.
TEST(DestPath, SaveAsAddsTheDefaultExtensionOneWay)
{
    const char* cases[][2] = {
        {"/s/job", "/s/job.TIF"},     {"C:\\Scans\\job", "C:\\Scans\\job.TIF"}, {"/s/job.", "/s/job.TIF"},
        {"/s/job.tif", "/s/job.tif"}, {"/my.scans/job", "/my.scans/job.TIF"},   {"/s/a.b", "/s/a.b"},
    };
    for (auto& c : cases) {
        AnsweringPrompts answer(c[0]);
        SetPrompts(&answer);
        char path[MAX_PATH] = "";
        OPENFILENAME ofn;
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof path;
        ofn.lpstrDefExt = "TIF";
        EXPECT_TRUE(GetSaveFileName(&ofn)) << c[0];
        EXPECT_STREQ(path, c[1]);
        SetPrompts(nullptr);
    }
    // A name that would no longer fit with its extension is refused, never cut.
    std::string full(MAX_PATH - 2, 'x');
    AnsweringPrompts answer(full.c_str());
    SetPrompts(&answer);
    char path[MAX_PATH] = "";
    OPENFILENAME ofn;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "TIF";
    EXPECT_FALSE(GetSaveFileName(&ofn));
    SetPrompts(nullptr);
}

}  // namespace
