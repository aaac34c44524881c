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
    std::uint64_t Size() const { return m_size; }
    bool IsPlainFile() const { return m_plain; }
    const std::string& Error() const { return m_error; }

private:
    std::intptr_t m_handle = -1;  // a descriptor on POSIX, a HANDLE on Windows
    std::uint64_t m_size = 0;
    bool m_plain = false;
    std::string m_error;
};
