// The printer's answer to an upload job (PJL FSUPLOAD), read receive by receive.
//
// A healthy device answers
//     @PJL FSUPLOAD FORMAT:BINARY NAME="<path>" OFFSET=0 SIZE=<n> CR LF
//     <n bytes of the file> <form feed>
// and a file that is gone with
//     @PJL FSUPLOAD NAME="<path>" CR LF FILEERROR=3 CR LF <form feed>
// (some devices put FILEERROR=n on the first line, after the name)
//
// Contract (a pure module: no socket, no file, no window):
// - Construct with the path the upload job asked for (as the job sent it) and the size
//   the listing gave for the file. Feed() takes the bytes of one
//   receive, of any length >= 0, in order; it never reads outside them and keeps no
//   pointer to them after it returns. It answers with the file bytes among them: one
//   span inside the bytes just fed (possibly empty). The caller writes exactly those.
// - Before the header, NUL bytes and line ends are dropped, and so are what the printer
//   sends on its own: "@PJL USTATUS" blocks (through their form feed) and "@PJL ECHO"
//   lines. The same between the header line and the first data byte (with the line ends
//   that follow them): a scan never begins with "@", so an answer whose data begin with
//   "@" and are no such line is not taken as the file (NotAFile). None of them is ever
//   part of the file's bytes.
// - PJL's words (FSUPLOAD, NAME, OFFSET, SIZE, FILEERROR, USTATUS, ECHO) count in either
//   case; the name itself is compared byte for byte.
// - The header line is gathered in a window of its own (at most 127 bytes with its line
//   end). It must end within the window, carry NAME="<path>" with exactly the path
//   asked for (byte for byte) and SIZE=<decimal> equal to the listed size (blanks
//   around "=" are allowed, as in NAME = "<path>"); otherwise
//   the answer is not taken as the file (see UploadVerdict). A device that answers
//   with another file's name is answering for another file, even of the same size.
// - Exactly SIZE bytes are handed out as file bytes, never more; whatever follows them
//   (the form feed, or other bytes some devices send before it) is never handed out.
//   The transfer is complete at the first byte after the data, or when the printer ends
//   the connection right after the last data byte (ConnectionEnded()).
// - ConnectionEnded() tells the reader that the printer closed or reset the
//   connection; before the last data byte that ends the transfer as EndedEarly.
// - Once Finished(), further Feed() calls hand out nothing.
// - Verdict() is Whole only when the header carried the path asked for, SIZE equal to
//   the listed size, and every data byte was handed out; DataBytes() never exceeds that SIZE.
// The private part is the implementer's to change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class UploadVerdict {
    InProgress,    // more bytes are needed
    Whole,         // the printer's whole file: every byte handed out
    NotOnPrinter,  // the printer says the file is not there (FILEERROR, no SIZE)
    SizeChanged,   // SIZE differs from the listed size: the file changed since it was listed
    EndedEarly,    // the printer ended the connection before the last data byte
    NotAFile,      // no header line within the window, or one the reader cannot take (no NAME among them)
    OtherFile,     // the header names a file other than the one asked for
};

struct UploadBytes {
    const char* data = nullptr;  // inside the bytes given to Feed(); null when len is 0
    std::size_t len = 0;
};

class CUploadAnswer {
public:
    static constexpr int kHeaderWindow = 127;

    CUploadAnswer(std::string askedPath, std::uint64_t listedSize);

    UploadBytes Feed(const char* bytes, std::size_t n);
    void ConnectionEnded();

    bool Finished() const { return m_verdict != UploadVerdict::InProgress; }
    UploadVerdict Verdict() const { return m_verdict; }
    bool HeaderDone() const { return m_headerDone; }
    // SIZE from the header line (valid once HeaderDone()), and file bytes handed out so far.
    std::uint64_t AnnouncedSize() const { return m_announced; }
    std::uint64_t DataBytes() const { return m_data; }

private:
    // Takes the header's bytes from the front of a receive into the window;
    // returns how many it took. The rest of the receive (if any) is data.
    std::size_t GatherHeader(const char* bytes, std::size_t n);
    // A line that is the printer's status, not the answer (m_window[0..len)): it
    // is dropped from the window. True when it was one.
    bool SkipStatusLine(int len);
    // The first line has ended (its text is m_window[0..len)).
    void TakeHeaderLine(int len);
    // A header line without SIZE: the line after it says why.
    void DecideWithoutSize();
    // Between the header line and the first data byte: status blocks and echoes the
    // printer sends on its own are skipped; returns how many bytes it took.
    std::size_t SkipBeforeData(const char* bytes, std::size_t n);

    std::string m_asked;
    std::uint64_t m_listed;
    std::uint64_t m_announced = 0;
    std::uint64_t m_data = 0;
    UploadVerdict m_verdict = UploadVerdict::InProgress;
    bool m_headerDone = false;
    // The first line had no SIZE; m_window from m_secondLine on is the line after it.
    bool m_inSecondLine = false;
    int m_secondLine = 0;
    // Inside a PJL status block before the header: bytes up to its form feed are skipped.
    bool m_inStatusBlock = false;
    // The first data byte has come (or the file has none).
    bool m_dataBegun = false;
    // A status line was skipped after the header: line ends before the data are its own.
    bool m_skippedStatus = false;
    char m_window[kHeaderWindow + 1] = {};
    int m_windowLen = 0;
};
