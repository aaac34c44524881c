// Simulated network printer: a TCP server that takes PJL jobs, runs their
// PostScript part in a sandboxed Ghostscript working in an image store on disk,
// answers @PJL FSUPLOAD requests from that store, and records every job byte for
// byte. Knobs reproduce the awkward things real devices do on the wire.
//
// Plain C++20 + POSIX; no Qt, and nothing shared with the Quillbox client.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qbxsim {

// Which answers the per-answer knobs act on.
enum class ApplyTo { AllAnswers, PostScriptAnswers, UploadAnswers };

struct Knobs {
    // --- connection level -------------------------------------------------
    // Nothing listens on the port (the socket stays bound so the port is kept):
    // connection attempts get ECONNREFUSED.
    bool refuse = false;
    // Pending connections wait this long in the backlog before being accepted.
    int accept_delay_ms = 0;
    // Connections served at once (1..256); more wait in the backlog until one ends.
    int max_connections = 16;
    // Close the connection after answering each job (no second job on it).
    bool close_after_job = false;
    // A connection on which nothing arrives, or that takes no byte of an answer, for
    // this long is closed, as printers do: idle clients cannot hold every connection
    // the printer serves. 0: never.
    int idle_timeout_ms = 30000;

    // --- per answer (restricted by apply_to) ------------------------------
    ApplyTo apply_to = ApplyTo::AllAnswers;
    // Read and record jobs but never send a byte back.
    bool silent = false;
    // Wait this long before starting each answer.
    int answer_delay_ms = 0;
    // Bytes sent in front of / after each answer (after the final form feed of
    // an upload).
    std::string extra_before;
    std::string extra_after;
    // Send the answer (extras included) in pieces of these sizes, pausing
    // piece_pause_ms between them; whatever is left goes in one last piece.
    std::vector<std::size_t> pieces;
    int piece_pause_ms = 100;
    // When pieces is empty and trickle_bytes > 0: send trickle_bytes at a time,
    // pausing trickle_interval_ms between them.
    std::size_t trickle_bytes = 0;
    int trickle_interval_ms = 0;
    // Send only this many bytes of the answer (extras included), then close the
    // connection: orderly close (FIN), or a reset (RST) when reset_on_drop.
    std::optional<std::size_t> drop_after;
    bool reset_on_drop = false;

    // --- upload answers only (whatever apply_to says) ----------------------
    // Answer as for a file that is not there (header without SIZE, FILEERROR=3),
    // even when the store holds the file.
    bool upload_file_error = false;
    // Append this many bytes to the stored file just before answering its upload,
    // as a scan still being written grows: the answer carries the grown file.
    std::size_t grow_before_upload = 0;
    // Bytes sent between an upload's data and its final form feed.
    std::string before_form_feed;
    // Answer every upload with this file of the store instead (a store path such as
    // "DXR/Images/..."): its own NAME, SIZE and bytes, as a confused device would.
    std::string upload_other_file;

    // --- answers as real devices give them (whatever apply_to says) ----------
    // Quirk bits, see below.
    unsigned quirks = 0;
};

// What real devices put into their answers (Knobs::quirks). QuirkByName and
// QuirkHelp give their names for the command line.
enum Quirk : unsigned {
    // Unsolicited PJL USTATUS blocks (through their form feed), with NUL bytes, before
    // every answer and between the lines of a listing.
    kQuirkStatusBlocks = 1u << 0,
    // PostScript status and printer-condition messages between the lines of a listing.
    kQuirkStatusMessages = 1u << 1,
    // File access switched off: a program that lists or deletes files gets
    // invalidaccess and the rest of the job is flushed; nothing is deleted.
    kQuirkAccessOff = 1u << 2,
    // The interpreter fails inside the listing after its first line (stackunderflow).
    kQuirkInterpreterError = 1u << 3,
    // Listed names carry the device: "%disk0%DXR/Images/...".
    kQuirkVolumePrefix = 1u << 4,
    // The upload header as the PJL reference writes it: NAME = "..." OFFSET = 0 SIZE = n.
    kQuirkBlanksAroundEquals = 1u << 5,
    // A PJL USTATUS TIMED block every 50 ms while a PostScript job runs.
    kQuirkStatusTimer = 1u << 6,
    // File access switched off for deleting only: a program that deletes a file gets
    // invalidaccess and the rest of the job is flushed; listing still works.
    kQuirkDeleteRefused = 1u << 7,
    // Status inside an answer: "%%[ status: busy ]%%" in the middle of each listing line
    // (between the name and its TAB) and a USTATUS block between an upload's header
    // line and its data.
    kQuirkStatusInside = 1u << 8,
};
// The bit of a quirk's name, or 0 when there is no such quirk.
unsigned QuirkByName(std::string_view name);
// One line per quirk: its name and what it does.
std::string QuirkHelp();

// A job longer than this without its closing UEL is not taken: the printer records
// its first kRefusedJobKept bytes as not acted on and closes the connection.
inline constexpr std::size_t kMaxJobBytes = 64u << 20;
inline constexpr std::size_t kRefusedJobKept = 4096;

struct Options {
    std::filesystem::path root;              // store root; DXR/Images is created below it
    std::string bind_address = "127.0.0.1";  // numeric IPv4 or IPv6 address
    std::uint16_t port = 3102;               // 0: any free port, see Port()
    std::string gs_path = "gs";              // Ghostscript executable (searched in PATH)
    int gs_timeout_ms = 20000;               // a PostScript job running longer is killed
    std::filesystem::path record_dir;        // if set, every job is also written there
    Knobs knobs;
    // Keep every job received in memory for Jobs() (tests). The program turns this off:
    // a printer on a network would otherwise hold on to every job it ever received.
    bool keep_jobs = true;
    // Receives one line per event (connections, jobs, ignored input, gs errors).
    // Called from several threads, never concurrently.
    std::function<void(const std::string&)> log;
};

struct RecordedJob {
    int connection = 0;  // 1-based number of the accepted connection that carried it
    std::string bytes;   // exactly as received, from the first byte after the
                         // previous job up to and including the closing UEL
    // false: bytes the printer did not act on: no job trailer when the peer
    // closed, or still unread when the printer closed the connection itself.
    bool complete = true;
};

class PrinterSim {
public:
    explicit PrinterSim(Options options);
    ~PrinterSim();  // stops
    PrinterSim(const PrinterSim&) = delete;
    PrinterSim& operator=(const PrinterSim&) = delete;

    // Binds (and listens unless knobs.refuse) and starts serving. False on
    // failure, with the reason in LastError(). A stopped simulator may be started
    // again; it then binds anew (a fixed port is reused, port 0 gets a new one).
    bool Start();
    // Closes the listener and all connections, kills running Ghostscript
    // processes and joins every thread. Idempotent.
    void Stop();
    bool Running() const;
    std::string LastError() const;

    std::uint16_t Port() const;
    const std::filesystem::path& Root() const;
    std::filesystem::path ImageDir() const;  // <root>/DXR/Images

    // Takes effect for the next answer / accept; a change of `refuse` has taken
    // effect on the socket when this returns.
    void SetKnobs(const Knobs& knobs);
    Knobs GetKnobs() const;

    std::vector<RecordedJob> Jobs() const;  // empty unless Options::keep_jobs
    void ClearJobs();
    // Waits until at least n jobs (complete or not) have been received (kept or not).
    bool WaitForJobs(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits until the printer has acted on at least n commands of its jobs (a PostScript
    // program run, a file looked up for an upload) and is about to send their answers
    // (empty ones too). ClearJobs starts the count again.
    bool WaitForAnswers(std::size_t n, std::chrono::milliseconds timeout) const;
    int ConnectionsAccepted() const;
    int ActiveConnections() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// Image store helpers. `root` is the store root; paths returned relative are
// relative to it, exactly as a client names them ("DXR/Images/...").

// "DXR/Images/<user>(<seq>)(<date14>)<ext>"
std::string ImageRelPath(std::string_view user, std::string_view seq, std::string_view date14,
                         std::string_view ext = ".TIF");
// Creates <root>/DXR/Images and returns it.
std::filesystem::path EnsureStore(const std::filesystem::path& root);
// Writes an image file with the given contents; returns its relative path.
std::string AddImage(const std::filesystem::path& root, std::string_view user, std::string_view seq,
                     std::string_view date14, std::string_view bytes, std::string_view ext = ".TIF");
// Same with `size` bytes of PatternBytes(size, seed).
std::string AddImageOfSize(const std::filesystem::path& root, std::string_view user, std::string_view seq,
                           std::string_view date14, std::size_t size, unsigned seed = 1, std::string_view ext = ".TIF");
// Deterministic bytes covering all 256 values (including 0x0C, 0x1B, CR, LF).
std::string PatternBytes(std::size_t size, unsigned seed = 1);
// Adds `count` images for `user`: seq runs 000..999 and wraps; the date
// differs for every file, so all names are distinct. Returns the relative paths.
std::vector<std::string> AddManyImages(const std::filesystem::path& root, std::string_view user, std::size_t count,
                                       std::size_t size = 16);
// Relative paths of everything in <root>/DXR/Images, sorted.
std::vector<std::string> ListStore(const std::filesystem::path& root);

// A scan the printer is still writing: from a thread of its own, after each pause
// appends one page of pageBytes bytes to file (a store file that exists), pages
// times, or until stopped when pages is 0. A file deleted meanwhile ends it.
class GrowingScan {
public:
    GrowingScan(std::filesystem::path file, std::size_t pageBytes, std::chrono::milliseconds pause, int pages = 0);
    ~GrowingScan();  // stops
    GrowingScan(const GrowingScan&) = delete;
    GrowingScan& operator=(const GrowingScan&) = delete;

    void Stop();  // no page is added once this returns; idempotent
    int PagesWritten() const;
    bool Finished() const;  // every page written (or the file gone)

private:
    void Run();
    std::filesystem::path file_;
    std::size_t page_bytes_;
    std::chrono::milliseconds pause_;
    int pages_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::atomic<int> written_{0};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Fills an empty store with real TIFF scans rendered by Ghostscript for users
// 1234, 12345 and 42 (several dates; some share a sequence number). Does
// nothing if the store already holds files. False (with *error) on failure.
bool MakeSampleStore(const std::filesystem::path& root, const std::string& gs_path = "gs",
                     std::string* error = nullptr);

}  // namespace qbxsim
