#include "retrieval/DestPath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Build(const char* chosen, BOOL single, const char* name, const char* dup, std::string* destName = nullptr)
{
    char p[MAX_PATH], n[MAX_PATH];
    if (!BuildDestPath(chosen, single, name, dup, p, n))
        return "<refused>";
    if (destName != nullptr)
        *destName = n;
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
        EXPECT_EQ(std::string(d) + "|" + f + "|" + n + "|" + e, std::string(c[1]) + "|" + c[2] + "|" + c[3] + "|" + c[4]);
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

}  // namespace
