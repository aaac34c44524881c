// Feeds arbitrary upload answers, cut into arbitrary receives, to the upload-answer
// reader and compares what it does with a plain model of the answer's rules.
//
// Input: byte 0 holds flags: bit 0, the printer closes the connection after the last
// receive; bits 1-2, how the listed size follows (0: 2 bytes, 1: an edge of the
// number range and a signed byte to add to it, 2: 4 bytes, 3: 8 bytes, all little
// endian); bit 3, the answer starts with a well-formed header line that the harness
// writes, with SIZE the listed size (plus one with bit 4). Then a run of receives,
// each a length byte followed by that many bytes of the answer (the last one takes
// what is left). The job asked for kAsked, the name in the harness's header line.
//
// Before the header, NUL bytes and line ends are dropped, "@PJL USTATUS" blocks are
// skipped through their form feed and "@PJL ECHO" lines through their line end; in
// the header line, blanks around "=" (outside quotes) do not part words, and PJL's
// words count in either case. Between the header line and the data, status blocks and
// echoes are skipped as well; data that begin with another "@" are no file.
//
// Invariants: every span handed out lies inside the receive just fed; the verdict and
// the bytes handed out are the model's (ExpectedOutcome) for the whole answer; "whole"
// only with SIZE equal to the listed size and every data byte handed out; nothing
// after the end; and the same answer fed in one receive gives the same verdict and
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/UploadAnswer.h"

namespace {

const char kAsked[] = "DXR/Images/1234(007)(19991213093005).TIF";

void Check(bool ok)
{
    if (!ok) std::abort();
}

struct Result {
    UploadVerdict verdict;
    std::uint64_t dataBytes;
};

// Feeds one receive in a buffer of its own exact size (a read past it is caught)
// and appends what the reader hands out to `out`.
void FeedOne(CUploadAnswer& reader, const std::uint8_t* bytes, std::size_t len, std::string& out)
{
    std::unique_ptr<char[]> recv(new char[len == 0 ? 1 : len]);
    if (len > 0) std::memcpy(recv.get(), bytes, len);
    const bool wasFinished = reader.Finished();
    const UploadVerdict before = reader.Verdict();
    const std::uint64_t dataBefore = reader.DataBytes();
    const UploadBytes b = reader.Feed(recv.get(), len);
    if (b.len == 0) {
        Check(b.data == nullptr);
    } else {
        Check(b.data >= recv.get() && b.len <= len && b.data + b.len <= recv.get() + len);
        out.append(b.data, b.len);
    }
    Check(reader.DataBytes() == dataBefore + b.len);
    if (wasFinished) Check(b.len == 0 && reader.Verdict() == before);
    if (!reader.HeaderDone())
        Check(reader.DataBytes() == 0);
    else
        Check(reader.DataBytes() <= reader.AnnouncedSize());
}

// answer is what follows the skipped status (the header line first).
void CheckEnd(const CUploadAnswer& reader, std::uint64_t listed, std::string_view answer, const std::string& out)
{
    Check(reader.DataBytes() == out.size());
    if (reader.Verdict() == UploadVerdict::Whole)
        Check(reader.HeaderDone() && reader.AnnouncedSize() == listed && reader.DataBytes() == listed);
    if (reader.Verdict() == UploadVerdict::SizeChanged)
        Check(reader.HeaderDone() && reader.AnnouncedSize() != listed && out.empty());
    if (reader.Verdict() == UploadVerdict::NotOnPrinter || reader.Verdict() == UploadVerdict::NotAFile ||
        reader.Verdict() == UploadVerdict::OtherFile)
        Check(out.empty());
    if (!out.empty()) {
        const std::size_t lineEnd = answer.find('\n');
        Check(lineEnd != std::string::npos && lineEnd < CUploadAnswer::kHeaderWindow);
        // The data follow the header line (and the status the printer sent before them).
        Check(answer.substr(lineEnd + 1).find(out) != std::string_view::npos);
    }
}

// The rules of the answer written a second time, as plainly as possible and on the
// whole answer at once, so that a fault in the reader's receive-by-receive state
// shows up as a difference. Kept apart from the reader on purpose: share no code.
struct Expected {
    UploadVerdict verdict;
    std::string data;
    std::size_t headerAt = 0;  // where the header line begins, after what was skipped
};

bool Blank(char c) { return c == ' ' || c == '\t'; }

// PJL's words count in either case.
bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) return false;
    }
    return true;
}
bool BeginsWith(std::string_view text, std::string_view word)
{
    return text.size() >= word.size() && SameIgnoringCase(text.substr(0, word.size()), word);
}

// The line with blanks on either side of every "=" outside quotes removed: each part
// between quotes is taken on its own.
std::string WithoutBlanksAroundEquals(std::string_view line)
{
    std::string out;
    bool quoted = false;
    std::size_t from = 0;
    while (from <= line.size()) {
        const std::size_t quote = line.find('"', from);
        const std::size_t end = quote == std::string_view::npos ? line.size() : quote;
        std::string part(line.substr(from, end - from));
        if (!quoted) {
            for (std::size_t eq = part.find('='); eq != std::string::npos; eq = part.find('=', eq + 1)) {
                std::size_t before = eq;
                while (before > 0 && Blank(part[before - 1])) --before;
                part.erase(before, eq - before);
                eq = before;
                std::size_t after = eq + 1;
                while (after < part.size() && Blank(part[after])) ++after;
                part.erase(eq + 1, after - (eq + 1));
            }
        }
        out += part;
        if (quote == std::string_view::npos) break;
        out += '"';
        quoted = !quoted;
        from = quote + 1;
    }
    return out;
}

// Where the header line begins: what the printer sent on its own before it is passed
// over. Sets *verdict when the answer ends (or stops) inside such a status block.
std::size_t SkipStatus(std::string_view answer, bool closed, UploadVerdict* verdict)
{
    const std::size_t npos = std::string_view::npos;
    std::size_t i = 0;
    for (;;) {
        while (i < answer.size() && (answer[i] == '\0' || answer[i] == '\r' || answer[i] == '\n' || answer[i] == '\f'))
            ++i;
        const std::string_view window = answer.substr(i, CUploadAnswer::kHeaderWindow);
        const std::size_t lf = window.find('\n');
        const std::size_t cr = window.find('\r');
        if (lf == npos || (cr != npos && cr < lf && cr + 1 != lf)) return i;  // the header's rules decide
        if (BeginsWith(window, "@PJL USTATUS")) {
            const std::size_t ff = answer.find('\f', i + lf + 1);
            if (ff == npos) {
                *verdict = closed ? UploadVerdict::EndedEarly : UploadVerdict::InProgress;
                return answer.size();
            }
            i = ff + 1;
        } else if (BeginsWith(window, "@PJL ECHO")) {
            i += lf + 1;
        } else {
            return i;
        }
    }
}

bool AllDigits(std::string_view s, std::uint64_t& value)
{
    if (s.empty() || s.size() > 19) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

Expected ExpectedOfHeader(std::string_view answer, std::uint64_t listed, bool closed);

Expected ExpectedOutcome(std::string_view answer, std::uint64_t listed, bool closed)
{
    UploadVerdict inStatus = UploadVerdict::Whole;
    const std::size_t at = SkipStatus(answer, closed, &inStatus);
    if (inStatus != UploadVerdict::Whole) return {inStatus, "", at};
    Expected e = ExpectedOfHeader(answer.substr(at), listed, closed);
    e.headerAt = at;
    return e;
}

Expected ExpectedOfHeader(std::string_view answer, std::uint64_t listed, bool closed)
{
    using V = UploadVerdict;
    const std::size_t npos = std::string_view::npos;
    // The first line must end (LF, or CR LF) within the first 127 bytes.
    const std::string_view window = answer.substr(0, CUploadAnswer::kHeaderWindow);
    const bool windowFull = window.size() == static_cast<std::size_t>(CUploadAnswer::kHeaderWindow);
    const std::size_t lf = window.find('\n');
    const std::size_t cr = window.find('\r');
    if (cr != npos && (lf == npos || cr < lf) && cr + 1 < window.size() && cr + 1 != lf) return {V::NotAFile, ""};
    if (lf == npos) return {windowFull ? V::NotAFile : closed ? V::EndedEarly : V::InProgress, ""};

    // Its words: blanks part them, except between double quotes.
    std::string_view rawLine = window.substr(0, lf);
    if (!rawLine.empty() && rawLine.back() == '\r') rawLine.remove_suffix(1);
    const std::string joined = WithoutBlanksAroundEquals(rawLine);
    const std::string_view line(joined);
    std::vector<std::string_view> words;
    bool inQuotes = false;
    std::size_t start = npos;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const bool blank = i == line.size() || (!inQuotes && (line[i] == ' ' || line[i] == '\t'));
        if (blank) {
            if (start != npos) words.push_back(line.substr(start, i - start));
            start = npos;
            continue;
        }
        if (start == npos) start = i;
        if (line[i] == '"') inQuotes = !inQuotes;
    }
    if (inQuotes) return {V::NotAFile, ""};

    bool upload = false;
    int sizes = 0, names = 0;
    bool fileError = false;
    std::uint64_t size = 0, offset = 0;
    std::string_view name;
    for (std::string_view w : words) {
        if (SameIgnoringCase(w, "FSUPLOAD")) upload = true;
        if (w.size() >= 7 && BeginsWith(w, "NAME=\"") && w.back() == '"') {
            if (++names > 1) return {V::NotAFile, ""};
            name = w.substr(6, w.size() - 7);
        }
        if (BeginsWith(w, "OFFSET=") && (!AllDigits(w.substr(7), offset) || offset != 0)) return {V::NotAFile, ""};
        if (BeginsWith(w, "SIZE=") && (++sizes > 1 || !AllDigits(w.substr(5), size))) return {V::NotAFile, ""};
        if (BeginsWith(w, "FILEERROR=")) fileError = true;
    }
    if (!upload || names == 0) return {V::NotAFile, ""};
    // The answer is for the file asked for, byte for byte, or it is not this file.
    if (name != kAsked) return {V::OtherFile, ""};

    if (sizes == 0 && fileError) return {V::NotOnPrinter, ""};
    if (sizes == 0) {
        // No SIZE: the next line, up to its LF or form feed, says why (FILEERROR).
        std::string_view second = window.substr(lf + 1);
        const std::size_t end = second.find_first_of("\n\f");
        if (end != npos)
            second = second.substr(0, end + 1);
        else if (!windowFull && !closed)
            return {V::InProgress, ""};
        while (!second.empty() && (Blank(second.front()) || second.front() == '\0')) second.remove_prefix(1);
        return {BeginsWith(second, "FILEERROR") ? V::NotOnPrinter : V::NotAFile, ""};
    }
    if (size != listed) return {V::SizeChanged, ""};
    // Before the first data byte, status blocks and echoes (and after one, line ends) are
    // passed over; data that begin with any other "@" are no scan.
    std::string_view rest = answer.substr(lf + 1);
    bool skipped = false;
    while (size > 0) {
        if (skipped)
            while (!rest.empty() && (rest[0] == '\0' || rest[0] == '\r' || rest[0] == '\n' || rest[0] == '\f'))
                rest.remove_prefix(1);
        if (rest.empty()) return {closed ? V::EndedEarly : V::InProgress, ""};
        if (rest[0] != '@') break;
        const std::string_view w = rest.substr(0, CUploadAnswer::kHeaderWindow);
        std::size_t next = npos;
        for (std::size_t k = 0; k < w.size() && next == npos; ++k) {
            if (w[k] == '\n') {
                std::string_view l = w.substr(0, k);
                if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
                if (BeginsWith(l, "@PJL USTATUS")) {
                    const std::size_t ff = rest.find('\f', k + 1);
                    if (ff == npos) return {closed ? V::EndedEarly : V::InProgress, ""};
                    next = ff + 1;
                } else if (BeginsWith(l, "@PJL ECHO")) {
                    next = k + 1;
                } else {
                    return {V::NotAFile, ""};
                }
                break;
            }
            const std::string_view so = w.substr(0, k + 1);
            const bool status =
                BeginsWith("@PJL USTATUS", so.substr(0, 12)) || BeginsWith("@PJL ECHO", so.substr(0, 9));
            if (!status || k + 1 == static_cast<std::size_t>(CUploadAnswer::kHeaderWindow)) return {V::NotAFile, ""};
        }
        if (next == npos) return {closed ? V::EndedEarly : V::InProgress, ""};
        rest.remove_prefix(next);
        skipped = true;
    }
    // SIZE bytes of data; any byte after them ends the copy.
    const std::string data(rest.substr(0, size < rest.size() ? static_cast<std::size_t>(size) : rest.size()));
    if (rest.size() > size) return {V::Whole, data};
    if (!closed) return {V::InProgress, data};
    return {data.size() == size ? V::Whole : V::EndedEarly, data};
}

// The listed size: small sizes, the edges of the number range (16, 31, 32, 63 and 64
// bits, and 19 digits) give or take a little, and anything in 64 bits.
std::uint64_t ListedSize(int kind, const std::uint8_t* data, std::size_t size, std::size_t& pos)
{
    auto take = [&](int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes && pos < size; ++i) v |= static_cast<std::uint64_t>(data[pos++]) << (8 * i);
        return v;
    };
    static const std::uint64_t kEdges[] = {0,
                                           65535,
                                           0x7FFFFFFFull,
                                           0xFFFFFFFFull,
                                           0x7FFFFFFFFFFFFFFFull,
                                           0xFFFFFFFFFFFFFFFFull,
                                           9999999999999999999ull,
                                           1000000000000000000ull};
    switch (kind) {
    case 0: return take(2);
    case 1: {
        const std::uint64_t edge = kEdges[take(1) % (sizeof kEdges / sizeof kEdges[0])];
        return edge + static_cast<std::uint64_t>(static_cast<std::int8_t>(take(1)));
    }
    case 2: return take(4);
    default: return take(8);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    const bool closeAtEnd = (flags & 1) != 0;
    std::size_t pos = 1;
    const std::uint64_t listed = ListedSize((flags >> 1) & 3, data, size, pos);

    CUploadAnswer reader(kAsked, listed);
    std::string answer, out;
    if (flags & 8) {
        const std::uint64_t announced = listed + ((flags & 16) ? 1 : 0);
        const std::string head = std::string("@PJL FSUPLOAD FORMAT:BINARY NAME=\"") + kAsked +
                                 "\" OFFSET=0 SIZE=" + std::to_string(announced) + "\r\n";
        answer = head;
        FeedOne(reader, reinterpret_cast<const std::uint8_t*>(head.data()), head.size(), out);
    }
    while (pos < size) {
        const std::size_t want = data[pos++];
        const std::size_t len = want < size - pos ? want : size - pos;
        answer.append(reinterpret_cast<const char*>(data + pos), len);
        FeedOne(reader, data + pos, len, out);
        pos += len;
    }
    if (closeAtEnd) {
        reader.ConnectionEnded();
        Check(reader.Finished());
        Check(reader.Verdict() != UploadVerdict::InProgress);
    }
    const Expected expected = ExpectedOutcome(answer, listed, closeAtEnd);
    CheckEnd(reader, listed, std::string_view(answer).substr(expected.headerAt), out);

    Check(reader.Verdict() == expected.verdict);
    Check(out == expected.data);

    // However the answer was cut into receives, the reader comes to the same end.
    CUploadAnswer whole(kAsked, listed);
    std::string wholeOut;
    FeedOne(whole, reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size(), wholeOut);
    if (closeAtEnd) whole.ConnectionEnded();
    Check(whole.Verdict() == reader.Verdict());
    Check(wholeOut == out);
    return 0;
}
