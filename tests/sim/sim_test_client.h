// A raw-socket client for talking to the simulated printer in tests, and the
// jobs exactly as the Quillbox client sends them.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "printer_sim.h"

namespace simtest {

inline const std::string kUel = "\x1b%-12345X";
inline const std::string kTrailer = "\x04" + kUel + "@PJL EOJ " + kUel;

inline std::string ListingJob(const std::string& user)
{
    return " " + kUel +
           "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n%!\n"
           "/sBuf 100 string def /none true def /str 16 string def\n"
           "(DXR/Images/" +
           user +
           "*) {\n"
           "dup print (\t) print status {pop pop exch pop}if str cvs print (\n) print /none false def\n"
           "} sBuf filenameforall none {(***) print}{(%%%) print}ifelse\n" +
           kTrailer;
}

// `path` as it goes into a PostScript string: parentheses escaped.
inline std::string PsString(std::string_view path)
{
    std::string s;
    for (char c : path) {
        if (c == '(' || c == ')' || c == '\\') s += '\\';
        s += c;
    }
    return s;
}

inline std::string DeleteJob(std::string_view path)
{
    return " " + kUel + "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n%!\n(" + PsString(path) + ") deletefile\n" +
           kTrailer;
}

inline std::string PostScriptJob(std::string_view program)
{
    return " " + kUel + "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n" + std::string(program) + kTrailer;
}

inline std::string UploadJob(std::string_view path, std::uint64_t offset = 0, std::uint64_t size = 2147483647)
{
    return " " + kUel + "@PJL JOB\n@PJL FSUPLOAD NAME=\"" + std::string(path) + "\" OFFSET=" + std::to_string(offset) +
           " SIZE=" + std::to_string(size) + "\r\n" + kUel + "@PJL EOJ " + kUel;
}

inline std::string UploadAnswer(std::string_view path, std::string_view bytes, std::uint64_t offset = 0)
{
    return "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + std::string(path) + "\" OFFSET=" + std::to_string(offset) +
           " SIZE=" + std::to_string(bytes.size()) + "\r\n" + std::string(bytes) + "\f";
}

inline std::string FileErrorAnswer(std::string_view path)
{
    return "@PJL FSUPLOAD NAME=\"" + std::string(path) + "\"\r\nFILEERROR=3\r\n\f";
}

class TempDir {
public:
    TempDir()
    {
        std::string t = (std::filesystem::temp_directory_path() / "qbxsim-test-XXXXXX").string();
        if (!::mkdtemp(t.data())) std::abort();
        path_ = t;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A connected TCP client; -errno in error() if the connection failed.
class Client {
public:
    explicit Client(std::uint16_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool ok() const { return fd_ >= 0; }
    int error() const { return error_; }
    int fd() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

    bool Send(std::string_view data)
    {
        while (!data.empty()) {
            ssize_t w = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (w <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(w));
        }
        return true;
    }

    // One receive: waits up to `wait` for data. Returns false on timeout; on
    // EOF sets eof(), on error sets last_errno().
    bool ReadOnce(std::string& chunk, std::chrono::milliseconds wait)
    {
        chunk.clear();
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
        char buf[65536];
        ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
        if (r == 0) eof_ = true;
        if (r < 0) last_errno_ = errno;
        if (r > 0) chunk.assign(buf, static_cast<std::size_t>(r));
        return true;
    }

    // Reads until `done(data)` holds, EOF, an error or the overall timeout.
    template <typename Done>
    std::string ReadUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        std::string data, chunk;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done(data) && !eof_ && last_errno_ == 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (ReadOnce(chunk, left)) {
                data += chunk;
                chunks_.push_back(chunk);
            }
        }
        return data;
    }
    std::string ReadUntilSuffix(std::string_view suffix, std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return ReadUntil([&](const std::string& d) { return std::string_view(d).ends_with(suffix); }, timeout);
    }
    std::string ReadBytes(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return ReadUntil([&](const std::string& d) { return d.size() >= n; }, timeout);
    }
    std::string ReadToEof(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return ReadUntil([](const std::string&) { return false; }, timeout);
    }
    // The listing answer: ends with "%%%" or "***".
    std::string ReadListing()
    {
        return ReadUntil([](const std::string& d) {
            return std::string_view(d).ends_with("%%%") || std::string_view(d).ends_with("***");
        });
    }

    bool eof() const { return eof_; }
    int last_errno() const { return last_errno_; }
    // Non-empty receives so far, in order.
    const std::vector<std::string>& chunks() const { return chunks_; }
    void ClearChunks() { chunks_.clear(); }

private:
    int fd_ = -1;
    int error_ = 0;
    bool eof_ = false;
    int last_errno_ = 0;
    std::vector<std::string> chunks_;
};

// Splits a listing answer into its lines; `terminator` gets what follows the
// last line feed.
inline std::vector<std::string> Lines(const std::string& listing, std::string* terminator)
{
    std::vector<std::string> out;
    std::size_t pos = 0, lf;
    while ((lf = listing.find('\n', pos)) != std::string::npos) {
        out.push_back(listing.substr(pos, lf - pos));
        pos = lf + 1;
    }
    if (terminator) *terminator = listing.substr(pos);
    return out;
}

// A running simulator on a free port over a fresh store.
class SimFixtureBase {
public:
    explicit SimFixtureBase(qbxsim::Knobs knobs = {})
    {
        opt_.root = tmp_.path() / "store";
        opt_.port = 0;
        opt_.knobs = std::move(knobs);
    }
    bool StartSim()
    {
        sim_ = std::make_unique<qbxsim::PrinterSim>(opt_);
        return sim_->Start();
    }
    qbxsim::PrinterSim& sim() { return *sim_; }
    const std::filesystem::path& root() const { return opt_.root; }
    std::uint16_t port() const { return sim_->Port(); }

protected:
    TempDir tmp_;
    qbxsim::Options opt_;
    std::unique_ptr<qbxsim::PrinterSim> sim_;
};

}  // namespace simtest
