// Reading a local file as it is on disk: only a plain file, never through a link, for
// comparing a copy with the printer's bytes. Standard types only; twins
// platform/posix/file_reader.cpp and platform/win32/file_reader.cpp. Paths are UTF-8.
//
// Contract:
// - Open(path) opens path itself for reading: false for a link (whatever it leads
//   to), a folder, a device or a pipe, with IsPlainFile() false and no Error(); false
//   with Error() (the system's reason) when path cannot be opened at all.
// - Size() is the opened file's size; Read() gives bytes read (0 at the end) or -1 with
//   Error(). The destructor closes.
// - SyncToDisk() writes the opened file's bytes, and its name in its folder, through to
//   the disk: a copy found in the folder (made by an earlier run that was stopped before
//   it synced, or by another program) counts for the printer's file only once it is as
//   durable as a copy this program makes. False with Error() (the system's reason); a
//   file system that cannot sync a folder at all counts as synced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class PlainFileReader {
public:
    PlainFileReader() = default;
    ~PlainFileReader();
    PlainFileReader(const PlainFileReader&) = delete;
    PlainFileReader& operator=(const PlainFileReader&) = delete;

    bool Open(const char* path);
    long Read(char* buffer, std::size_t len);
    bool SyncToDisk();
    std::uint64_t Size() const { return m_size; }
    bool IsPlainFile() const { return m_plain; }
    const std::string& Error() const { return m_error; }

private:
    std::intptr_t m_handle = -1;  // a descriptor on POSIX, a HANDLE on Windows
    std::uint64_t m_size = 0;
    bool m_plain = false;
    std::string m_error;
    std::string m_path;  // as opened, for its folder
};
