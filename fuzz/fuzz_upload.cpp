// Feeds arbitrary upload answers, cut into arbitrary receives, to the upload-answer
// reader and checks what it may hand out as file bytes.
//
// Input: bytes 0-1 the listed size (little endian, 0..65535); byte 2 bit 0: the
// printer closes the connection after the last receive. Then a run of receives,
// each a length byte followed by that many bytes of the answer (the last one
// takes what is left). The job asked for the file the seed answers name.
//
// Invariants: every span handed out lies inside the receive just fed; the bytes
// handed out are exactly the answer's bytes right after its first line end, never
// more than SIZE; "whole" only with SIZE equal to the listed size and every data
// byte handed out; nothing after the end; and the same answer fed in one receive
// gives the same verdict and the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

void CheckEnd(const CUploadAnswer& reader, std::uint64_t listed, const std::string& answer, const std::string& out)
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
        Check(answer.compare(lineEnd + 1, out.size(), out) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const std::uint64_t listed = data[0] | (static_cast<std::uint64_t>(data[1]) << 8);
    const bool closeAtEnd = (data[2] & 1) != 0;
    std::size_t pos = 3;

    CUploadAnswer reader(kAsked, listed);
    std::string answer, out;
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
    CheckEnd(reader, listed, answer, out);

    // However the answer was cut into receives, the reader comes to the same end.
    CUploadAnswer whole(kAsked, listed);
    std::string wholeOut;
    FeedOne(whole, reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size(), wholeOut);
    if (closeAtEnd) whole.ConnectionEnded();
    Check(whole.Verdict() == reader.Verdict());
    Check(wholeOut == out);
    return 0;
}
