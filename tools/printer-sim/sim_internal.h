// Internals of the simulated printer shared between its source files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbxsim::detail {

inline constexpr std::string_view kUel = "\x1b%-12345X";

// End (one past the closing UEL) of the first complete job in `buf`: a UEL
// followed by "@PJL EOJ", then the next UEL. nullopt while incomplete.
std::optional<std::size_t> FindJobEnd(std::string_view buf);

struct Command {
    enum Kind { PostScript, Upload, Ignored } kind = Ignored;
    std::string text;  // PostScript: the program; otherwise the raw line / data
    std::string name;  // Upload: NAME="..." value
    std::uint64_t offset = 0;
    std::uint64_t size = UINT64_MAX;
};

// Splits one job into the things the printer acts on, in order.
std::vector<Command> ParseJob(std::string_view job);

// An answer as it goes on the wire: text, then `count` bytes of an open file from
// `offset` (none when fd < 0), then more text. Large files are sent straight from
// the page cache (sendfile) instead of being read into memory first.
struct Answer {
    std::string head;
    int fd = -1;  // owned: closed by the destructor
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
    std::string tail;

    Answer() = default;
    explicit Answer(std::string text) : head(std::move(text)) {}
    Answer(Answer&& o) noexcept;
    Answer& operator=(Answer&& o) noexcept;
    Answer(const Answer&) = delete;
    Answer& operator=(const Answer&) = delete;
    ~Answer();

    std::uint64_t Size() const { return head.size() + count + tail.size(); }
};

// The FSUPLOAD answer (header line, data, form feed) with the file still open
// for sending, or the FILEERROR answer; beforeFormFeed goes between the data and
// the form feed.
Answer UploadAnswer(const std::filesystem::path& root, const Command& cmd, std::string_view beforeFormFeed = {});
// The FILEERROR answer for the command's name.
Answer FileErrorAnswer(const Command& cmd);
// Maps a client-supplied name to a regular file inside the store, or nothing.
std::optional<std::filesystem::path> ResolveInStore(const std::filesystem::path& root, const std::string& name);

struct GsResult {
    std::string out;                // stdout, sent back to the client
    std::string err;                // stderr, for the log: its first bytes only
    std::uint64_t err_dropped = 0;  // stderr bytes read and not kept
    int status = -1;                // exit status, -1 if killed
    bool timed_out = false;
    bool stopped = false;     // stop_fd became readable
    std::string spawn_error;  // non-empty if gs could not be started
};

// Runs `program` on the stdin of a sandboxed Ghostscript whose working
// directory is `root` and whose temporary directory is `tmpdir`. Kills it on
// timeout or when stop_fd becomes readable.
GsResult RunGhostscript(const std::string& gs_path, const std::filesystem::path& root,
                        const std::filesystem::path& tmpdir, std::string_view program, int timeout_ms, int stop_fd);

// The quirks of Knobs::quirks applied to answers (quirks.cpp).
// The answer a device with file access switched off gives a program that uses a file
// operator; nothing when the program runs as usual.
std::optional<std::string> QuirkRefusal(unsigned quirks, std::string_view program);
// The interpreter's output of a PostScript job as the quirks make it.
std::string QuirkPostScriptOutput(unsigned quirks, std::string out);
// An upload answer's header as the quirks make it.
std::string QuirkUploadHead(unsigned quirks, std::string head);

// With kQuirkStatusTimer: sends a status block on fd every 50 ms from a thread of its
// own, until it is destroyed (while the interpreter runs; the answer follows after).
class StatusTicker {
public:
    StatusTicker(unsigned quirks, int fd);
    ~StatusTicker();
    StatusTicker(const StatusTicker&) = delete;
    StatusTicker& operator=(const StatusTicker&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Sleeps up to ms; false if stop_fd became readable first.
bool SleepUnlessStopped(int ms, int stop_fd);

}  // namespace qbxsim::detail
