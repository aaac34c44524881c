// Real scans for the PDF tests of the dialogs and the tool: a two-page TIFF made by
// Ghostscript's fax device as the printer makes its scans, and the checks a PDF
// passes (qpdf finds it sound and counts its pages). Header only, POSIX, no Qt: the
// tool's tests include it too.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qbxtest {

// Runs a shell command; its exit status, and its output (stdout and stderr) in *out.
inline int Shell(const std::string& cmd, std::string* out = nullptr)
{
    std::string text;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    const int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Writes at tif a two-page bilevel scan (G4 fax strips, 100 dpi); a failure is the
// test's (Ghostscript's words in the message).
inline void MakeTwoPageScan(const std::filesystem::path& tif)
{
    const std::filesystem::path ps = tif.string() + ".ps";
    std::ofstream(ps) << "%!PS\n/Helvetica findfont 30 scalefont setfont 72 600 moveto (one) show showpage\n"
                         "72 500 moveto (two) show 100 100 200 200 rectfill showpage\n";
    std::string out;
    EXPECT_EQ(Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=tiffg4 -r100 '-sOutputFile=" + tif.string() + "' '" +
                        ps.string() + "'",
                    &out),
              0)
        << out;
    std::filesystem::remove(ps);
}

// The pages of the PDF at pdf once qpdf --check found it sound; -1 (and a failure of
// the test, with qpdf's words) when it did not.
inline int CheckedPdfPages(const std::filesystem::path& pdf)
{
    std::string out;
    if (Shell("qpdf --check '" + pdf.string() + "'", &out) != 0) {
        ADD_FAILURE() << out;
        return -1;
    }
    Shell("qpdf --show-npages '" + pdf.string() + "'", &out);
    return std::atoi(out.c_str());
}

}  // namespace qbxtest
