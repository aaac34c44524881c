// PJL job framing and the FSUPLOAD answer.
#include <algorithm>
#include <cctype>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_internal.h"

namespace qbxsim::detail {
namespace fs = std::filesystem;

namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Upper(s[i]) != Upper(prefix[i])) return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Takes the leading word (letters, digits, ':') off `s`, upper-cased.
std::string TakeWord(std::string_view& s)
{
    s = TrimLeft(s);
    std::string w;
    while (!s.empty() &&
           (std::isalnum(static_cast<unsigned char>(s.front())) || s.front() == ':' || s.front() == '_')) {
        w += Upper(s.front());
        s.remove_prefix(1);
    }
    return w;
}

// Parses `KEY = value` pairs; a value may be double-quoted.
struct Pair {
    std::string key;
    std::string value;
};

std::vector<Pair> ParsePairs(std::string_view s)
{
    std::vector<Pair> out;
    for (;;) {
        s = TrimLeft(s);
        if (s.empty()) break;
        std::string key = TakeWord(s);
        if (key.empty()) {  // not a key: skip one character and carry on
            s.remove_prefix(1);
            continue;
        }
        s = TrimLeft(s);
        std::string value;
        if (!s.empty() && s.front() == '=') {
            s.remove_prefix(1);
            s = TrimLeft(s);
            if (!s.empty() && s.front() == '"') {
                s.remove_prefix(1);
                auto q = s.find('"');
                value = std::string(s.substr(0, q));
                s.remove_prefix(q == std::string_view::npos ? s.size() : q + 1);
            } else {
                while (!s.empty() && !IsBlank(s.front())) {
                    value += s.front();
                    s.remove_prefix(1);
                }
            }
        }
        out.push_back({std::move(key), std::move(value)});
    }
    return out;
}

bool ParseU64(const std::string& s, std::uint64_t& v)
{
    if (s.empty() || s.size() > 19) return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

std::optional<std::size_t> FindJobEnd(std::string_view buf)
{
    std::size_t p = 0;
    while ((p = buf.find(kUel, p)) != std::string_view::npos) {
        std::string_view rest = buf.substr(p + kUel.size());
        if (StartsWithNoCase(rest, "@PJL")) {
            std::string_view after = TrimLeft(rest.substr(4));
            if (StartsWithNoCase(after, "EOJ") &&
                (after.size() == 3 || !std::isalnum(static_cast<unsigned char>(after[3])))) {
                auto q = buf.find(kUel, p + kUel.size());
                if (q == std::string_view::npos) return std::nullopt;
                return q + kUel.size();
            }
        }
        p += kUel.size();
    }
    return std::nullopt;
}

std::vector<Command> ParseJob(std::string_view job)
{
    std::vector<Command> cmds;
    auto ignore = [&](std::string_view what) {
        Command c;
        c.kind = Command::Ignored;
        c.text = std::string(what);
        cmds.push_back(std::move(c));
    };

    std::size_t i = job.find(kUel);
    if (i == std::string_view::npos) {
        ignore(job);
        return cmds;
    }
    if (std::any_of(job.begin(), job.begin() + static_cast<std::ptrdiff_t>(i),
                    [](char c) { return !std::isspace(static_cast<unsigned char>(c)); }))
        ignore(job.substr(0, i));

    const std::size_t n = job.size();
    while (i < n) {
        if (job.substr(i, kUel.size()) == kUel) {
            i += kUel.size();
            continue;
        }
        std::size_t lf = job.find('\n', i);
        std::size_t uel = job.find(kUel, i);
        std::size_t le = std::min(lf, uel);
        if (le == std::string_view::npos) le = n;
        std::string_view line = TrimRight(job.substr(i, le - i));
        i = (le < n && job[le] == '\n') ? le + 1 : le;
        if (TrimLeft(line).empty()) continue;

        if (!StartsWithNoCase(line, "@PJL")) {
            ignore(line);
            continue;
        }
        std::string_view rest = line.substr(4);
        std::string word = TakeWord(rest);
        if (word.empty() || word == "JOB" || word == "EOJ") continue;  // framing

        if (word == "ENTER") {
            auto pairs = ParsePairs(rest);
            std::string lang;
            for (auto& p : pairs)
                if (p.key == "LANGUAGE") lang = p.value;
            std::transform(lang.begin(), lang.end(), lang.begin(), Upper);
            std::size_t eot = job.find('\x04', i);
            std::size_t next_uel = job.find(kUel, i);
            std::size_t end = std::min(eot, next_uel);
            if (end == std::string_view::npos) end = n;
            if (lang == "POSTSCRIPT") {
                Command c;
                c.kind = Command::PostScript;
                c.text = std::string(job.substr(i, end - i));
                cmds.push_back(std::move(c));
            } else {
                ignore(std::string(line) + " (" + std::to_string(end - i) + " data bytes)");
            }
            i = (end < n && job[end] == '\x04') ? end + 1 : end;
            continue;
        }

        if (word == "FSUPLOAD") {
            Command c;
            c.kind = Command::Upload;
            c.text = std::string(line);
            bool ok = true, have_name = false;
            for (auto& p : ParsePairs(rest)) {
                if (p.key == "NAME") {
                    c.name = p.value;
                    have_name = true;
                } else if (p.key == "OFFSET") {
                    ok = ok && ParseU64(p.value, c.offset);
                } else if (p.key == "SIZE") {
                    ok = ok && ParseU64(p.value, c.size);
                }
            }
            if (ok && have_name)
                cmds.push_back(std::move(c));
            else
                ignore(line);
            continue;
        }
        ignore(line);
    }
    return cmds;
}

std::optional<fs::path> ResolveInStore(const fs::path& root, const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string::npos) return std::nullopt;
    fs::path rel(name);
    for (const auto& part : rel)
        if (part == "..") return std::nullopt;
    std::error_code ec;
    fs::path canon_root = fs::canonical(root, ec);
    if (ec) return std::nullopt;
    fs::path canon = fs::canonical(root / rel, ec);
    if (ec) return std::nullopt;
    auto [r_end, c_it] = std::mismatch(canon_root.begin(), canon_root.end(), canon.begin(), canon.end());
    if (r_end != canon_root.end()) return std::nullopt;  // symlink leading out of the store
    if (!fs::is_regular_file(canon, ec)) return std::nullopt;
    return canon;
}

Answer FileErrorAnswer(const Command& cmd)
{
    return Answer("@PJL FSUPLOAD NAME=\"" + cmd.name + "\"\r\nFILEERROR=3\r\n\f");
}

Answer::Answer(Answer&& o) noexcept
    : head(std::move(o.head)), fd(o.fd), offset(o.offset), count(o.count), tail(std::move(o.tail))
{
    o.fd = -1;
    o.count = 0;
}

Answer& Answer::operator=(Answer&& o) noexcept
{
    if (this != &o) {
        if (fd >= 0) ::close(fd);
        head = std::move(o.head);
        fd = o.fd;
        offset = o.offset;
        count = o.count;
        tail = std::move(o.tail);
        o.fd = -1;
        o.count = 0;
    }
    return *this;
}

Answer::~Answer()
{
    if (fd >= 0) ::close(fd);
}

Answer UploadAnswer(const fs::path& root, const Command& cmd, std::string_view beforeFormFeed)
{
    Answer a;
    if (auto path = ResolveInStore(root, cmd.name)) {
        a.fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (a.fd >= 0 && ::fstat(a.fd, &st) == 0 && S_ISREG(st.st_mode)) {
            auto total = static_cast<std::uint64_t>(st.st_size);
            a.offset = std::min(cmd.offset, total);
            a.count = cmd.offset >= total ? 0 : std::min(cmd.size, total - cmd.offset);
            a.head = "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + cmd.name + "\" OFFSET=" + std::to_string(cmd.offset) +
                     " SIZE=" + std::to_string(a.count) + "\r\n";
            a.tail = std::string(beforeFormFeed) + "\f";
            return a;
        }
    }
    return FileErrorAnswer(cmd);
}

}  // namespace qbxsim::detail
