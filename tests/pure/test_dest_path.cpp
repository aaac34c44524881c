#include "retrieval/DestPath.h"

#include <gtest/gtest.h>

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
        {"bytes that are not UTF-8 compare as they are",
         {{"\xC9x.TIF", ""}, {"\xE9x.TIF", ""}, {"\xC9x.TIF", "1"}},
         {"job\xC9x.TIF", "job\xE9x.TIF", "job\xC9x_1.TIF"}},
    };
    for (auto& c : cases) {
        std::vector<DestFile> out;
        ASSERT_TRUE(BuildBatchDestPaths("/s/job.TIF", FALSE, c.requests, out)) << c.what;
        std::vector<std::string> names, paths;
        for (auto& f : out) {
            names.push_back(f.name);
            paths.push_back(f.path);
        }
        EXPECT_EQ(names, c.names) << c.what;
        for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(paths[i], "/s/" + c.names[i]) << c.what;
    }
}

TEST(DestPath, BatchOfOneFileAndRefusals)
{
    std::vector<DestFile> out;
    ASSERT_TRUE(BuildBatchDestPaths("/s/scan.TIF", TRUE, {{"007.TIF", "4"}}, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].path, "/s/scan.TIF");

    // The second file's own name fits; the suffix its clash needs does not.
    std::string chosen = "/" + std::string(240, 'f') + "/job.TIF";  // 249 characters: 10 to spare
    std::size_t refused = 99;
    EXPECT_FALSE(
        BuildBatchDestPaths(chosen.c_str(), FALSE, {{"123456789.TIF", ""}, {"123456789.TIFF", ""}}, out, &refused));
    EXPECT_EQ(refused, 1u);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(BuildBatchDestPaths("", FALSE, {{"1.TIF", ""}}, out, &refused));
    EXPECT_EQ(refused, 0u);
    EXPECT_TRUE(BuildBatchDestPaths("/s/job.TIF", FALSE, {}, out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
