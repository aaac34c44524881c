// Answers as real devices give them: status on the back channel, errors of the
// interpreter, volume prefixes and the PJL reference's spelling of the upload header.
#include "printer_sim.h"
#include "sim_internal.h"

#include <sys/socket.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qbxsim {

namespace {

struct QuirkName {
    unsigned bit;
    const char* name;
    const char* help;
};

constexpr std::array<QuirkName, 9> kQuirks = {{
    {kQuirkStatusBlocks, "status-blocks", "PJL USTATUS blocks (and NULs) before answers and between listing lines"},
    {kQuirkStatusMessages, "status-messages", "%%[ status: busy ]%% and %%[ PrinterError: paper jam ]%% between lines"},
    {kQuirkAccessOff, "access-off", "file access switched off: listing and deleting fail with invalidaccess"},
    {kQuirkInterpreterError, "interpreter-error", "the listing fails after its first line with stackunderflow"},
    {kQuirkVolumePrefix, "volume-prefix", "names listed with their device, %disk0%DXR/Images/..."},
    {kQuirkBlanksAroundEquals, "blanks-around-equals", "upload header written NAME = \"...\" OFFSET = 0 SIZE = n"},
    {kQuirkStatusTimer, "status-timer", "a PJL USTATUS TIMED block every 50 ms while a PostScript job runs"},
    {kQuirkDeleteRefused, "delete-refused",
     "file access switched off for deleting only: deleting fails with invalidaccess"},
    {kQuirkStatusInside, "status-inside",
     "%%[ status: busy ]%% inside each listing line, a USTATUS block between an upload's header and its data"},
}};

constexpr std::string_view kStatusBlock =
    "@PJL USTATUS DEVICE\r\nCODE=10001\r\nDISPLAY=\"00 READY\"\r\nONLINE=TRUE\r\n\f";
constexpr std::string_view kFlushing = "%%[ Flushing: rest of job (to end-of-file) will be ignored ]%%\r\n";

bool Has(unsigned quirks, unsigned bit) { return (quirks & bit) != 0; }

void ReplaceAll(std::string& s, std::string_view from, std::string_view to)
{
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
}

}  // namespace

unsigned QuirkByName(std::string_view name)
{
    for (const QuirkName& q : kQuirks)
        if (name == q.name) return q.bit;
    return 0;
}

std::string QuirkHelp()
{
    std::string text;
    for (const QuirkName& q : kQuirks) text += "    " + std::string(q.name) + ": " + q.help + "\n";
    return text;
}

namespace detail {

std::optional<std::string> QuirkRefusal(unsigned quirks, std::string_view program)
{
    if (!Has(quirks, kQuirkAccessOff | kQuirkDeleteRefused)) return std::nullopt;
    for (std::string_view op : {"filenameforall", "deletefile"}) {
        if (program.find(op) == std::string_view::npos) continue;
        if (!Has(quirks, kQuirkAccessOff) && op != "deletefile") continue;
        return "%%[ Error: invalidaccess; OffendingCommand: " + std::string(op) + " ]%%\r\n" + std::string(kFlushing);
    }
    return std::nullopt;
}

std::string QuirkPostScriptOutput(unsigned quirks, std::string out)
{
    // The listing's lines: every line end closes one; the marker follows the last.
    if (Has(quirks, kQuirkInterpreterError) && out.find('\n') != std::string::npos)
        out = out.substr(0, out.find('\n') + 1) + "%%[ Error: stackunderflow; OffendingCommand: exch ]%%\r\n" +
              std::string(kFlushing);
    const bool between =
        Has(quirks, kQuirkStatusBlocks | kQuirkStatusMessages | kQuirkVolumePrefix | kQuirkStatusInside);
    if (!between) return out;
    std::string result;
    if (Has(quirks, kQuirkStatusBlocks)) result += std::string(2, '\0') + std::string(kStatusBlock);
    if (Has(quirks, kQuirkStatusMessages)) result += "%%[ status: busy ]%%\r\n";
    int line = 0;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        const bool whole = end != std::string::npos;
        std::string text = out.substr(start, whole ? end + 1 - start : std::string::npos);
        start = whole ? end + 1 : out.size();
        if (Has(quirks, kQuirkStatusInside) && text.rfind("DXR/", 0) == 0 && text.find('\t') != std::string::npos)
            text.insert(text.find('\t'), "%%[ status: busy ]%%");
        if (Has(quirks, kQuirkVolumePrefix) && text.rfind("DXR/", 0) == 0) text = "%disk0%" + text;
        result += text;
        if (!whole) break;
        ++line;
        if (Has(quirks, kQuirkStatusBlocks) && line % 2 == 1) result += kStatusBlock;
        if (Has(quirks, kQuirkStatusMessages))
            result += line % 2 == 1 ? "%%[ PrinterError: paper jam ]%%\r\n" : "%%[ status: busy ]%%\r\n";
    }
    return result;
}

std::string QuirkUploadHead(unsigned quirks, std::string head)
{
    if (Has(quirks, kQuirkBlanksAroundEquals)) {
        ReplaceAll(head, "NAME=\"", "NAME = \"");
        ReplaceAll(head, " OFFSET=", " OFFSET = ");
        ReplaceAll(head, " SIZE=", " SIZE = ");
        ReplaceAll(head, "FILEERROR=", "FILEERROR = ");
    }
    // Only after a header line with a SIZE: the data follow it.
    if (Has(quirks, kQuirkStatusInside) && head.find("SIZE") != std::string::npos) head += kStatusBlock;
    if (Has(quirks, kQuirkStatusBlocks)) head = std::string(2, '\0') + std::string(kStatusBlock) + head;
    return head;
}

struct StatusTicker::State {
    std::mutex mu;
    std::condition_variable cv;
    bool stop = false;
    std::thread th;
};

StatusTicker::StatusTicker(unsigned quirks, int fd)
{
    if (!Has(quirks, kQuirkStatusTimer)) return;
    state_ = std::make_unique<State>();
    State* st = state_.get();
    st->th = std::thread([st, fd] {
        const std::string block = "@PJL USTATUS TIMED\r\nCODE=10023\r\nDISPLAY=\"PROCESSING JOB\"\r\nONLINE=TRUE\r\n\f";
        std::unique_lock lk(st->mu);
        while (!st->cv.wait_for(lk, std::chrono::milliseconds(50), [st] { return st->stop; }))
            if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) < 0) break;
    });
}

StatusTicker::~StatusTicker()
{
    if (!state_) return;
    {
        std::lock_guard lk(state_->mu);
        state_->stop = true;
    }
    state_->cv.notify_all();
    state_->th.join();
}

}  // namespace detail
}  // namespace qbxsim
