// The local copy on a real file system: nothing at the destination changes before
// Commit, a failed or discarded copy leaves no temporary file, a link at the
// destination is replaced rather than written through, and leftovers are told apart.
// The same tests run against the POSIX and the Windows local copy (under Wine in CI);
// what one system cannot do is skipped there with the reason.
#include "platform/localcopy.h"

#include "scratch_folder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A failure's message: the program's words naming the file, then the system's reason,
// which is the POSIX text on Linux and the system's own (Windows and Wine word some
// differently) on Windows.
void ExpectMessage(const std::string& message, const std::string& words, const char* posixReason)
{
#ifdef _WIN32
    (void)posixReason;
    EXPECT_EQ(message.rfind(words + ": ", 0), 0u) << message;
    EXPECT_GT(message.size(), words.size() + 2) << message;
#else
    EXPECT_EQ(message, words + ": " + posixReason);
#endif
}

// A link at path to target, when the system shows links as links (Wine shows Unix
// links as plain files): false, and nothing made, when it cannot.
bool MakeLink(const std::string& target, const std::string& path)
{
    std::error_code ec;
    fs::create_symlink(target, path, ec);
    if (!ec && fs::is_symlink(path, ec)) return true;
    fs::remove(path, ec);
    return false;
}

constexpr char kNoLinks[] = "this system does not show links as links (Wine shows Unix links as plain files)";

std::string Pattern(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

using LocalCopyTest = ScratchFolderTest;

// Every piece size the receive loop and a command-line tool may use, across the buffer.
TEST_F(LocalCopyTest, CopiesEveryByteWhateverThePieceSizes)
{
    const std::size_t pieces[] = {1, 7, 2048, 65535, 65536, 65537, 200000};
    const std::string data = Pattern(300001);
    for (std::size_t piece : pieces) {
        const std::string dest = folder + "/p" + std::to_string(piece) + ".TIF";
        LocalCopy c;
        ASSERT_TRUE(c.Open(dest.c_str(), false)) << c.Error();
        for (std::size_t at = 0; at < data.size(); at += piece)
            ASSERT_TRUE(c.Write(data.data() + at, std::min(piece, data.size() - at))) << c.Error();
        EXPECT_FALSE(fs::exists(dest)) << "the destination appears only at Commit";
        ASSERT_TRUE(c.Commit()) << c.Error();
        EXPECT_FALSE(c.IsOpen());
        EXPECT_EQ(ReadText(dest), data) << "piece " << piece;
    }
    EXPECT_EQ(Names(folder).size(), std::size(pieces)) << "no temporary file stays";
}

TEST_F(LocalCopyTest, TemporaryFileIsHiddenBesideTheDestinationAndRecognised)
{
    const std::string dest = folder + "/job007.TIF";
    LocalCopy c;
    ASSERT_TRUE(c.Open(dest.c_str(), false));
    const fs::path temp(c.TempPath());
    EXPECT_EQ(temp.parent_path().generic_string(), folder);
    EXPECT_EQ(temp.filename().string().rfind(".job007.TIF.quillbox-", 0), 0u);
    EXPECT_TRUE(LocalCopy::IsOurLeftover(temp.filename().string().c_str()));
    EXPECT_TRUE(fs::is_regular_file(temp));
    EXPECT_EQ(c.DestPath(), dest);

#ifndef _WIN32
    // A name at the file system's limit still gets a temporary name that fits. (On
    // Windows the whole path's limit of 259 characters comes first: a row of its own.)
    const std::string longDest = folder + "/" + std::string(250, 'n') + ".TIF";
    LocalCopy l;
    ASSERT_TRUE(l.Open(longDest.c_str(), false)) << l.Error();
    ASSERT_TRUE(l.Write("x", 1));
    ASSERT_TRUE(l.Commit()) << l.Error();
    EXPECT_EQ(ReadText(longDest), "x");
#endif
}

// Discard, a destruction without Commit and a failed Commit all leave the old file.
TEST_F(LocalCopyTest, ExistingFileStaysIntactUntilTheRename)
{
    const std::string dest = folder + "/old.TIF";
    for (int way = 0; way < 3; ++way) {
        WriteText(dest, "keep me");
        {
            LocalCopy c;
            ASSERT_TRUE(c.Open(dest.c_str(), true));
            ASSERT_TRUE(c.Write("new bytes", 9));
            EXPECT_EQ(ReadText(dest), "keep me");
            if (way == 0) {
                EXPECT_TRUE(c.Discard());
            } else if (way == 2) {
                // Something removed the temporary file under the copy: the rename fails.
                // (On Windows nothing can: the open copy does not share its deletion.)
                std::error_code ec;
                if (fs::remove(c.TempPath(), ec)) {
                    EXPECT_FALSE(c.Commit());
                }
            }
        }
        EXPECT_EQ(ReadText(dest), "keep me") << "way " << way;
        EXPECT_EQ(Names(folder), std::vector<std::string>{"old.TIF"}) << "way " << way;
    }
    LocalCopy c;
    ASSERT_TRUE(c.Open(dest.c_str(), true));
    ASSERT_TRUE(c.Write("new bytes", 9));
    ASSERT_TRUE(c.Commit());
    EXPECT_EQ(ReadText(dest), "new bytes");
}

TEST_F(LocalCopyTest, LinkAtTheDestinationIsReplacedNotWrittenThrough)
{
    const std::string target = folder + "/target.TIF";
    const std::string dest = folder + "/link.TIF";
    WriteText(target, "other file");
    if (!MakeLink(target, dest)) GTEST_SKIP() << kNoLinks;
    const std::string dangling = folder + "/dangling.TIF";
    ASSERT_TRUE(MakeLink(folder + "/nowhere/x", dangling));
    for (const std::string& d : {dest, dangling}) {
        LocalCopy c;
        ASSERT_TRUE(c.Open(d.c_str(), true));
        ASSERT_TRUE(c.Write("scan", 4));
        ASSERT_TRUE(c.Commit()) << c.Error();
        EXPECT_FALSE(fs::is_symlink(d));
        EXPECT_EQ(ReadText(d), "scan");
    }
    EXPECT_EQ(ReadText(target), "other file");
}

// What appears at the destination while the copy is on its way (a file, a link, a
// folder) is never replaced unless the user agreed to overwrite; a new copy gets 0666
// less the umask, a replacing one the mode of the file it replaces (POSIX: Windows files
// have no mode bits, a copy takes the permissions its folder gives).
TEST_F(LocalCopyTest, ConsentDecidesWhatIsReplacedAndTheModeFollows)
{
    const struct {
        const char* appears;  // made at the destination after Open
        bool mayReplace;
        unsigned umask;
        unsigned mode;  // the destination's afterwards; 0: the copy was refused
    } rows[] = {
        {"file", false, 022, 0},
        {"link", false, 022, 0},
        {"folder", false, 022, 0},
        {"", false, 002, 0664},
        {"", false, 077, 0600},
        {"file", true, 002, 0640},
        {"file0600", true, 022, 0600},
        // Never a setuid or setgid bit passed on; a link's target's mode is not the
        // mode of what is replaced (the link itself).
        {"file6755", true, 022, 0755},
        {"link0600", true, 022, 0644},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string dest = folder + "/d" + std::to_string(n++) + ".TIF";
        const std::string what = r.appears;
#ifndef _WIN32
        const mode_t saved = ::umask(static_cast<mode_t>(r.umask));
#endif
        LocalCopy c;
        ASSERT_TRUE(c.Open(dest.c_str(), r.mayReplace)) << c.Error();
#ifndef _WIN32
        ::umask(saved);
#endif
        ASSERT_TRUE(c.Write("scan", 4));
        if (what.rfind("file", 0) == 0) {
            WriteText(dest, "appeared");
#ifndef _WIN32
            ::chmod(dest.c_str(), what == "file" ? 0640 : what == "file6755" ? 06755 : 0600);
#endif
        } else if (what.rfind("link", 0) == 0) {
            const std::string target = folder + (what == "link" ? "/nowhere" : "/target" + std::to_string(n));
            if (what != "link") {
                WriteText(target, "the link's target");
#ifndef _WIN32
                ::chmod(target.c_str(), 0600);
#endif
            }
            if (!MakeLink(target, dest)) {
                std::cout << "Row left out, a link at the destination: " << kNoLinks << "\n";
                c.Discard();
                continue;
            }
        } else if (what == "folder") {
            ASSERT_TRUE(fs::create_directory(dest));
        }
        const std::string temp = c.TempPath();
        EXPECT_EQ(c.Commit(), r.mode != 0) << dest << ": " << c.Error();
        EXPECT_EQ(c.DestinationTaken(), r.mode == 0) << dest;
        EXPECT_FALSE(fs::exists(temp)) << dest;
        if (r.mode == 0) {
            EXPECT_EQ(c.Error(), "Cannot save " + dest +
                                     ": a file of that name appeared in the folder while the copy was on its way; "
                                     "it was left as it is");
            EXPECT_EQ(fs::is_symlink(dest), what == "link");
            if (what == "file") {
                EXPECT_EQ(ReadText(dest), "appeared");
            }
            continue;
        }
        EXPECT_EQ(ReadText(dest), "scan") << dest;
#ifndef _WIN32
        struct stat st {};
        ASSERT_EQ(::stat(dest.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, r.mode) << dest;
        EXPECT_FALSE(fs::is_symlink(dest)) << dest;
#endif
    }
}

// A consent bound to the file that was asked about (ReplaceOnly): that file is replaced,
// another one put under its name afterwards is not, and a name left free is taken.
TEST_F(LocalCopyTest, ConsentIsForTheVeryFileAskedAbout)
{
    for (const std::string afterwards : {"nothing", "another file put there", "removed"}) {
        SCOPED_TRACE(afterwards);
        const std::string dest = folder + "/asked.TIF";
        WriteText(dest, "agreed to lose");
        LocalCopy::FileId asked;
        ASSERT_TRUE(LocalCopy::Identify(dest.c_str(), asked));
        LocalCopy c;
        ASSERT_TRUE(c.Open(dest.c_str(), true)) << c.Error();
        c.ReplaceOnly(asked);
        ASSERT_TRUE(c.Write("scan", 4));
        if (afterwards == "removed") fs::remove(dest);
        if (afterwards == "another file put there") {
            WriteText(dest + ".new", "another program's");
            fs::rename(dest + ".new", dest);
        }
        const bool saved = afterwards != "another file put there";
        EXPECT_EQ(c.Commit(), saved) << c.Error();
        EXPECT_EQ(c.DestinationTaken(), !saved);
        EXPECT_EQ(ReadText(dest), saved ? "scan" : "another program's");
    }
}

// Failures name the file and give the system's reason; nothing of the copy remains.
TEST_F(LocalCopyTest, FailuresAreExplainedAndLeaveNoTemporaryFile)
{
    LocalCopy missing;
    const std::string nowhere = folder + "/gone/scan.TIF";
    EXPECT_FALSE(missing.Open(nowhere.c_str(), false));
    ExpectMessage(missing.Error(), "Cannot create a file in " + folder + "/gone", "No such file or directory");
    EXPECT_FALSE(missing.Write("x", 1));
    EXPECT_FALSE(missing.Commit());

    // A folder at the destination cannot be replaced by the file.
    const std::string dirDest = folder + "/adir.TIF";
    ASSERT_TRUE(fs::create_directory(dirDest));
    LocalCopy d;
    ASSERT_TRUE(d.Open(dirDest.c_str(), true));
    ASSERT_TRUE(d.Write("x", 1));
    EXPECT_FALSE(d.Commit());
    ExpectMessage(d.Error(), "Cannot put in place " + dirDest, "Is a directory");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"adir.TIF"});
    EXPECT_TRUE(fs::is_directory(dirDest));
}

// The disk refuses bytes (the file size limit stands in for a full disk): the failure
// comes from Write or from Commit, and the old file and the folder stay as they were.
TEST_F(LocalCopyTest, RefusedWriteFailsTheCopyAndKeepsTheOldFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process to stand in for a full disk";
#else
    const std::string dest = folder + "/full.TIF";
    WriteText(dest, "keep me");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const std::string data = Pattern(150000);
    bool writesOk = true;
    LocalCopy c;
    bool opened = c.Open(dest.c_str(), true);
    for (std::size_t at = 0; opened && writesOk && at < data.size(); at += 2048)
        writesOk = c.Write(data.data() + at, std::min<std::size_t>(2048, data.size() - at));
    const bool committed = opened && writesOk && c.Commit();

    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(writesOk && committed);
    EXPECT_EQ(c.Error(), "Cannot write " + dest + ": File too large");
    EXPECT_FALSE(c.Write("x", 1)) << "a failed copy stays failed";
    EXPECT_FALSE(c.Commit());
    c.Discard();
    EXPECT_EQ(ReadText(dest), "keep me");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"full.TIF"});
#endif
}

TEST_F(LocalCopyTest, PartialFileThatCannotBeRemovedIsNamed)
{
    LocalCopy c;
    ASSERT_TRUE(c.Open((folder + "/x.TIF").c_str(), false));
    const std::string temp = c.TempPath();
    // Something else took the temporary name: a folder that is not empty.
    std::error_code ec;
    if (!fs::remove(temp, ec)) GTEST_SKIP() << "the open copy cannot be removed by anyone else here (Windows)";
    ASSERT_TRUE(fs::create_directory(temp));
    WriteText(temp + "/inside", "y");
    EXPECT_FALSE(c.Discard());
    EXPECT_EQ(c.Error(), "Cannot remove the partial file " + temp + ": Is a directory");
    EXPECT_TRUE(c.Discard()) << "reported once: nothing is left to discard";
}

TEST(LocalCopyNames, OnlyOurTemporaryNamesAreLeftovers)
{
    const struct {
        const char* name;
        bool ours;
    } cases[] = {
        {".job007.TIF.quillbox-0a1b2c3d.part", true},
        {".x.quillbox-ffffffff.part", true},
        {".notes.cafebabe.part", false},        // a user's own file
        {".job.quillbox0a1b2c3d.part", false},  // no "-" after the program's name
        {".quillbox-0a1b2c3d.part", false},     // no name
        {"job007.TIF", false},
        {"job007.TIF.quillbox-0a1b2c3d.part", false},  // no leading "."
        {"..quillbox-0a1b2c3d.part", false},           // no name
        {".job.quillbox-0A1B2C3D.part", false},        // upper-case digits are not ours
        {".job.quillbox-0a1b2c3.part", false},         // seven digits
        {".job.quillbox-0a1b2c3d.part~", false},
        {".job.quillbox-0a1b2c3d.PART", false},
        {"", false},
        {".", false},
    };
    for (auto& c : cases) EXPECT_EQ(LocalCopy::IsOurLeftover(c.name), c.ours) << c.name;
    EXPECT_FALSE(LocalCopy::IsOurLeftover(nullptr));
}

TEST_F(LocalCopyTest, RemoveLeftoversTakesOnlyOursThatNobodyWrites)
{
    WriteText(folder + "/.a.TIF.quillbox-00000001.part", "crash");
    WriteText(folder + "/.b.TIF.quillbox-00000002.part", "crash");
    WriteText(folder + "/.notes.cafebabe.part", "the user's");
    WriteText(folder + "/job007.TIF", "scan");
    WriteText(folder + "/.other.part", "someone else's");
    ASSERT_TRUE(fs::create_directory(folder + "/.d.TIF.quillbox-00000003.part"));
    const bool link = MakeLink(folder + "/job007.TIF", folder + "/.l.TIF.quillbox-00000004.part");
    if (!link) std::cout << "Row left out, a leftover that is a link: " << kNoLinks << "\n";
    LocalCopy running;
    ASSERT_TRUE(running.Open((folder + "/live.TIF").c_str(), false));
    const std::string live = fs::path(running.TempPath()).filename().generic_string();

    EXPECT_EQ(LocalCopy::RemoveLeftovers(folder.c_str()), 2);
    std::vector<std::string> expected = {".d.TIF.quillbox-00000003.part", ".notes.cafebabe.part", ".other.part", live,
                                         "job007.TIF"};
    if (link) expected.push_back(".l.TIF.quillbox-00000004.part");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder), expected);
    EXPECT_EQ(ReadText(folder + "/job007.TIF"), "scan");
    ASSERT_TRUE(running.Write("ok", 2));
    ASSERT_TRUE(running.Commit()) << running.Error();
    EXPECT_EQ(LocalCopy::RemoveLeftovers((folder + "/gone").c_str()), -1);
}

}  // namespace

// On Windows the temporary name is longer than the destination's and can pass the
// longest path Windows takes where the destination does not: that is said as it is,
// not as a folder that is not there. (Wine does not enforce the limit; the check is
// the program's own, so it runs there too.)
TEST_F(LocalCopyTest, TemporaryNamePastTheLongestWindowsPathIsRefusedClearly)
{
#ifndef _WIN32
    GTEST_SKIP() << "only Windows limits a path to 259 characters";
#else
    std::string deep = folder;
    while (deep.size() < 240) {
        deep += "/" + std::string(std::min<std::size_t>(40, std::max<std::size_t>(1, 240 - deep.size())), 'd');
        fs::create_directories(deep);
    }
    const std::string dest = deep + "/scan.TIF";
    ASSERT_LT(dest.size(), 260u) << dest;
    LocalCopy c;
    EXPECT_FALSE(c.Open(dest.c_str(), false));
    EXPECT_NE(c.Error().find("longer than the 259 characters Windows allows in a path"), std::string::npos)
        << c.Error();
    EXPECT_TRUE(c.TempPath().empty());
#endif
}

namespace {

// Two names of one file, as a folder that ignores case (NTFS, exFAT, an SMB share)
// has them: a hard link stands in for the second name.
TEST_F(LocalCopyTest, ARunNeverReplacesAFileItPutInPlaceUnderAnotherName)
{
    const std::string first = folder + "/a.TIF", second = folder + "/A-other-name.TIF";
    CopyRun run;
    LocalCopy a;
    ASSERT_TRUE(a.Open(first.c_str(), false, &run)) << a.Error();
    ASSERT_TRUE(a.Write("scan one", 8));
    ASSERT_TRUE(a.Commit()) << a.Error();
    EXPECT_TRUE(run.Wrote(first.c_str()));
    std::error_code ec;
    fs::create_hard_link(first, second, ec);
    if (ec) GTEST_SKIP() << "no second name for a file here: " << ec.message();
    EXPECT_TRUE(run.Wrote(second.c_str())) << "the same file under its other name";

    // Even with leave to replace what is there, the run's own file stays.
    LocalCopy b;
    ASSERT_TRUE(b.Open(second.c_str(), true, &run)) << b.Error();
    ASSERT_TRUE(b.Write("scan two", 8));
    EXPECT_FALSE(b.Commit());
    EXPECT_TRUE(b.RunWroteDestination());
    EXPECT_NE(b.Error().find(second), std::string::npos) << b.Error();
    EXPECT_EQ(ReadText(first), "scan one");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"A-other-name.TIF", "a.TIF"})) << "no temporary file left";

    // A file of another run (an earlier batch) is replaced when the user agreed.
    CopyRun later;
    LocalCopy c;
    ASSERT_TRUE(c.Open(second.c_str(), true, &later)) << c.Error();
    ASSERT_TRUE(c.Write("scan two", 8));
    EXPECT_TRUE(c.Commit()) << c.Error();
    EXPECT_FALSE(c.RunWroteDestination());
    EXPECT_EQ(ReadText(second), "scan two");
    EXPECT_FALSE(later.Wrote(first.c_str())) << "the first name is still the first run's file";
    EXPECT_TRUE(run.Wrote(first.c_str()));
}

}  // namespace
