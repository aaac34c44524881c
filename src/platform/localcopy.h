// A local copy of a printer file, written to a temporary file in the destination's
// folder and put in place by one rename once it is complete.
//
// Contract:
// - Open(dest, mayReplace) creates "<folder>/.<name>.quillbox-<random>.part" (a name no
//   scan can have: it starts with "." and ends in ".part"; <random> is 8 lower-case hex
//   digits; a <name> longer than 200 bytes is cut there so the temporary name stays
//   within the file system's limit) exclusively, with mode 0666 less the umask, as any
//   program creates a file. mayReplace is TRUE only when the user agreed to overwrite
//   a file at dest. The destination itself is not touched until Commit(): an existing
//   file stays intact whatever happens to the copy.
// - Write() writes every byte or fails (it may buffer: a later Write() or Commit()
//   reports a failure of buffered bytes); after a failure the copy can only be
//   discarded. The private part below is the implementer's to change.
// - Commit() flushes and syncs the temporary file, puts it in place under dest while
//   it is still open and locked (so no clean-up of leftovers, in this or another
//   instance, can remove it in between), then closes it and syncs the folder.
//   Without mayReplace it never replaces anything at dest: when a file (or a link, or
//   anything else) appeared there meanwhile, Commit fails, removes its temporary file,
//   DestinationTaken() is TRUE and Error() names the file that appeared. With
//   mayReplace it replaces what is at dest (a link at dest is replaced by the file,
//   never written through) and the new file takes the mode of the file it replaces.
//   ReplaceOnly(id) after Open binds the agreement to the file the user was asked
//   about: the copy then replaces only that very file (same identity, see CopyRun), and
//   anything else at dest by then (a file another program put under that name after
//   the question) is left alone as without mayReplace.
//   Only a TRUE result means the copy is on disk under dest. A failure before the
//   file is in place removes the temporary file and leaves dest as it was; a failure
//   after it (closing, syncing the folder) leaves the new file under dest, not known
//   to be durable, and is FALSE all the same (a file system that cannot sync folders
//   at all, EINVAL, counts as synced). Error() of a failed Commit also names a
//   temporary file that could not be removed.
// - Discard() removes the temporary file (nothing when none is open); FALSE when it
//   cannot be removed, with the reason. The destructor discards silently.
// - Every failure returns FALSE and leaves in Error() a sentence in the program's own
//   words naming the file and the system's reason, e.g.
//   "Cannot write /home/u/scans/job007.TIF: No space left on device".
// - IsOurLeftover(name) tells whether a folder entry is a temporary file of ours left
//   by a crash: exactly "." + a name + ".quillbox-" + 8 lower-case hex digits + ".part".
//   RemoveLeftovers(folder) removes those (only those, and only regular files) and
//   returns how many, -1 when the folder cannot be read. The temporary file is
//   locked while it is open (flock on POSIX; on Windows it is open without sharing
//   its deletion), so a copy that another running instance is still writing into the
//   same folder is left alone.
// - A copy opened with a CopyRun (a batch of the dialogs, one command of the tool)
//   adds the file it put in place to the run, by its identity on disk (device and
//   file number, on Windows volume and file index), and never replaces a file of its
//   own run, even with mayReplace: two names the run took for two files can be one
//   file in a folder that compares names its own way. Commit then fails, removes its
//   temporary file, leaves the run's file as it is, RunWroteDestination() is TRUE and
//   Error() says so.
// - Paths are UTF-8; on Windows "/" and "\\" both separate folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

// The files one run put in place, by identity, not by name.
class CopyRun {
public:
    // TRUE when what is at path now (the path itself, not where a link leads) is a
    // file this run put in place.
    bool Wrote(const char* path) const;
    bool Empty() const { return m_files.empty(); }
    void Clear() { m_files.clear(); }

private:
    friend class LocalCopy;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_files;  // (device or volume, file number)
};

class LocalCopy {
public:
    LocalCopy() = default;
    ~LocalCopy();
    LocalCopy(const LocalCopy&) = delete;
    LocalCopy& operator=(const LocalCopy&) = delete;

    // A file's identity on disk: (device or volume, file number).
    using FileId = std::pair<std::uint64_t, std::uint64_t>;

    // run (may be null) collects the file once it is in place; see CopyRun.
    bool Open(const char* destPath, bool mayReplace, CopyRun* run = nullptr);
    // With mayReplace: replace only the file of this identity (see the contract).
    void ReplaceOnly(const FileId& id) { m_replaceOnly = id; }
    // The identity of what is at path now (the path itself, not where a link leads).
    static bool Identify(const char* path, FileId& id) { return IdentityAt(path, id); }
    bool Write(const char* data, std::size_t len);
    bool Commit();
    bool Discard();

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& TempPath() const { return m_tempPath; }
    const std::string& DestPath() const { return m_destPath; }
    const std::string& Error() const { return m_error; }
    // TRUE after a Commit() without mayReplace found dest taken.
    bool DestinationTaken() const { return m_destTaken; }
    // TRUE after a Commit() found at dest a file its run put in place.
    bool RunWroteDestination() const { return m_runWroteDest; }

    static bool IsOurLeftover(const char* fileName);
    static int RemoveLeftovers(const char* folder);
    friend class CopyRun;

private:
    // The write buffer's size; a piece at least this long goes to the system at once.
    static constexpr std::size_t kBufferSize = 64 * 1024;
    // The system's error numbers (errno or GetLastError) for "no file open", "no data",
    // "not a name a file can have" and "the name is taken".
    static const int kErrNotOpen;
    static const int kErrNoData;
    static const int kErrBadName;
    static const int kErrExists;

    // The sequence (platform/localcopy.cpp) is the same everywhere; the steps below that
    // call the system are each twin's (platform/posix/, platform/win32/localcopy.cpp).
    bool Flush();
    bool Fail(const char* what, const std::string& path, int err);
    void CloseAndRemoveTemp();

    enum class Made { Created, Exists, Failed };
    enum class Placed { Done, Taken, Failed };
    // A number for the temporary name, different from one call to the next.
    static unsigned RandomNumber();
    // The system's reason for an error number, in English as the program's words are.
    static std::string ReasonOf(int err);
    // Creates path exclusively and keeps it open (and locked) in m_fd; Exists when the
    // name is taken, Failed with err otherwise.
    Made CreateTemp(const std::string& path, int& err);
    // Hands len bytes to the system, all of them, or fails with the reason.
    bool WriteOut(const char* data, std::size_t len);
    // Writes the file's data through to the disk: 0, or the error number.
    int SyncFile();
    // Renames the open temporary file to the destination (replacing only with
    // m_mayReplace); Taken when something is there and may not be replaced.
    Placed PutInPlace(int& err);
    // Closes the temporary file (when open) and removes it (when named); false with the
    // reason when it cannot be removed. m_tempPath is left as it was.
    bool DropTemp(std::string* reason);
    // Closes the file, now under its final name, and makes the rename durable:
    // closeErr is a failure to close (a write the system held back), syncErr one to sync.
    void FinishInPlace(int& closeErr, int& syncErr);
    // Before the rename: FALSE (Error() set) when dest is a file of this copy's run.
    bool CheckRun();
    // After the rename: adds the open file to the run.
    void AddToRun();
    // The identity of what is at path (not through a link), of the open file.
    static bool IdentityAt(const char* path, std::pair<std::uint64_t, std::uint64_t>& id);
    bool OpenIdentity(std::pair<std::uint64_t, std::uint64_t>& id) const;

    // The open temporary file: a descriptor on POSIX, a HANDLE on Windows; -1 when none.
    std::intptr_t m_fd = -1;
    bool m_failed = false;
    bool m_mayReplace = false;
    bool m_destTaken = false;
    bool m_runWroteDest = false;
    CopyRun* m_run = nullptr;
    std::optional<FileId> m_replaceOnly;
    std::string m_tempPath;
    std::string m_destPath;
    std::string m_error;
    // Bytes not yet handed to the system: the receive loop writes pieces of at most
    // 2048 bytes, which would otherwise cost one system call each.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_buffered = 0;
};
