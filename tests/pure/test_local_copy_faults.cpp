// The local copy when the system lets it down: a sync that fails, a file system that
// refuses RENAME_NOREPLACE (network file systems), a temporary file that cannot be
// removed. The failures come from the fault library that CTest preloads
// (tests/support/fault_shim.cpp); it acts on the copy's temporary files only.
#include "platform/localcopy.h"

#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// An address-sanitized build accepts the preloaded library ahead of its runtime.
extern "C" const char* __asan_default_options() { return "verify_asan_link_order=0:detect_leaks=1"; }

namespace {

// Sets QBX_FAULT for the fault library while it lives.
class Fault {
public:
    explicit Fault(const char* rules) { ::setenv("QBX_FAULT", rules, 1); }
    ~Fault() { ::unsetenv("QBX_FAULT"); }
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;
};

class LocalCopyFaults : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(::dlsym(RTLD_DEFAULT, "qbx_fault_shim_loaded"), nullptr)
            << "run through ctest, which preloads the fault library (LD_PRELOAD=libqbx_fault_shim.so)";
        ASSERT_NO_FATAL_FAILURE(ScratchFolderTest::SetUp());
        dest = folder + "/job007.TIF";
        log = folder + "-calls.log";
    }
    void TearDown() override
    {
        ::unsetenv("QBX_FAULT");
        ::unsetenv("QBX_FAULT_LOG");
        ScratchFolderTest::TearDown();
        std::error_code ec;
        fs::remove(log, ec);
    }
    // A copy of data opened for dest and written whole, not yet committed.
    void Write(LocalCopy& c, const std::string& data, bool mayReplace = false)
    {
        ASSERT_TRUE(c.Open(dest.c_str(), mayReplace)) << c.Error();
        ASSERT_TRUE(c.Write(data.data(), data.size())) << c.Error();
    }
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> v;
        std::ifstream in(log);
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
    std::string dest, log;
};

}  // namespace

// The copy counts only once its bytes are on the disk: a sync that fails refuses it,
// whether it would have made a new file or replaced one the user agreed to lose.
TEST_F(LocalCopyFaults, FailingSyncRefusesTheCopyAndLeavesTheDestinationAsItWas)
{
    for (bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing a file" : "a new file");
        fs::remove(dest);
        if (replacing) std::ofstream(dest) << "the older copy";
        LocalCopy c;
        Write(c, std::string(100000, 'x'), replacing);
        Fault f("fsync=EIO");
        EXPECT_FALSE(c.Commit());
        EXPECT_EQ(c.Error(), "Cannot save to disk " + dest + ": Input/output error");
        EXPECT_FALSE(c.DestinationTaken());
        EXPECT_EQ(ReadText(dest), replacing ? "the older copy" : "<missing>");
        EXPECT_EQ(Names(folder), replacing ? std::vector<std::string>{"job007.TIF"} : std::vector<std::string>{});
    }
}

// The order on the disk: the temporary file is synced, and only then takes the name.
TEST_F(LocalCopyFaults, TemporaryFileIsSyncedBeforeItTakesTheName)
{
    for (bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing a file" : "a new file");
        fs::remove(dest);
        fs::remove(log);
        if (replacing) std::ofstream(dest) << "old";
        ::setenv("QBX_FAULT_LOG", log.c_str(), 1);
        LocalCopy c;
        Write(c, "scan", replacing);
        const std::string temp = c.TempPath();
        ASSERT_TRUE(c.Commit()) << c.Error();
        ::unsetenv("QBX_FAULT_LOG");
        const std::string put = replacing ? "rename " : "renameat2 ";
        EXPECT_EQ(Calls(), (std::vector<std::string>{"fsync " + temp, put + temp}));
        EXPECT_EQ(ReadText(dest), "scan");
    }
}

// A file system that refuses RENAME_NOREPLACE: the copy is put in place by a second
// name (link) and the temporary name goes; a file that appeared at the destination
// meanwhile still stops it, and a file system without links refuses the copy.
TEST_F(LocalCopyFaults, WithoutNoReplaceRenameTheCopyGoesInByLinkAndNeverOverAFile)
{
    struct Case {
        const char* what;
        const char* fault;
        bool appears;  // a file is made at the destination before Commit
        bool saved;
        std::string error;
    } cases[] = {
        {"no flag support", "renameat2=EINVAL", false, true, ""},
        {"no such call", "renameat2=ENOSYS", false, true, ""},
        {"a file appeared", "renameat2=EINVAL", true, false,
         "Cannot save " + dest +
             ": a file of that name appeared in the folder while the copy was on its way; it was left as it is"},
        {"no links either", "renameat2=EINVAL,link=EPERM", false, false,
         "Cannot put in place " + dest +
             ": the folder's file system can neither rename a file without replacing one of that name nor give a "
             "file a second name, so nothing can be put there without risking another file; choose a folder on "
             "another file system"},
        {"a link refused for want of room", "renameat2=EINVAL,link=ENOSPC", false, false,
         "Cannot put in place " + dest + ": No space left on device"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        fs::remove(dest);
        LocalCopy c;
        Write(c, "the scan");
        if (k.appears) std::ofstream(dest) << "mine";
        Fault f(k.fault);
        EXPECT_EQ(c.Commit(), k.saved) << c.Error();
        EXPECT_EQ(c.Error(), k.error);
        EXPECT_EQ(c.DestinationTaken(), k.appears);
        EXPECT_EQ(ReadText(dest), k.saved ? "the scan" : k.appears ? "mine" : "<missing>");
        EXPECT_EQ(Names(folder),
                  k.saved || k.appears ? std::vector<std::string>{"job007.TIF"} : std::vector<std::string>{});
    }
}

// A temporary file that cannot be removed is named in the error, and a later clean-up
// of leftovers removes it once it can; the destination is never touched by either.
TEST_F(LocalCopyFaults, TemporaryFileThatCannotBeRemovedIsNamedAndClearedLater)
{
    std::string temp;
    {
        LocalCopy failed;
        Write(failed, "half");
        temp = failed.TempPath();
        Fault f("fsync=EIO,unlink=EACCES");
        EXPECT_FALSE(failed.Commit());
        EXPECT_EQ(failed.Error(), "Cannot save to disk " + dest + ": Input/output error (and the partial file " + temp +
                                      " cannot be removed: Permission denied)");
    }
    {
        LocalCopy discarded;
        Write(discarded, "half");
        const std::string kept = discarded.TempPath();
        Fault f("unlink=EACCES");
        EXPECT_FALSE(discarded.Discard());
        EXPECT_EQ(discarded.Error(), "Cannot remove the partial file " + kept + ": Permission denied");
        EXPECT_EQ(LocalCopy::RemoveLeftovers(folder.c_str()), 0);
    }
    EXPECT_EQ(Names(folder).size(), 2u);
    EXPECT_EQ(LocalCopy::RemoveLeftovers(folder.c_str()), 2);
    EXPECT_TRUE(Names(folder).empty());

    // The link road: the copy is in place even when its temporary name stays; that name
    // is a second name of the same file, and removing it later keeps the copy.
    LocalCopy linked;
    Write(linked, "the scan");
    {
        Fault f("renameat2=EINVAL,unlink=EACCES");
        EXPECT_TRUE(linked.Commit()) << linked.Error();
    }
    EXPECT_EQ(LocalCopy::RemoveLeftovers(folder.c_str()), 1);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"job007.TIF"});
    EXPECT_EQ(ReadText(dest), "the scan");
}
