// Hand-made TIFF files for the reader's tables: a little-endian file with one or more
// directories whose entries and data the test chooses, including broken ones.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TiffEntry {
    std::uint16_t type = 3;  // SHORT
    std::vector<std::uint32_t> values;
    std::uint32_t countOverride = 0;   // a count the values do not back (0: their number)
    std::uint32_t offsetOverride = 0;  // where the values are said to lie (0: where they are)
};

struct TiffDir {
    std::map<std::uint16_t, TiffEntry> entries;
};

class TiffBuilder {
public:
    // A bilevel page of w x h pixels in one uncompressed strip (rows of zero bytes).
    static TiffDir Bilevel(std::uint32_t w, std::uint32_t h)
    {
        TiffDir d;
        d.entries[256] = {4, {w}};
        d.entries[257] = {4, {h}};
        d.entries[258] = {3, {1}};
        d.entries[259] = {3, {1}};
        d.entries[262] = {3, {0}};
        d.entries[273] = {4, {0}};  // filled in by Build: the strip's data
        d.entries[278] = {4, {h}};
        d.entries[279] = {4, {((w + 7) / 8) * h}};
        return d;
    }

    // dirs chained in order; nextOfLast points the last one somewhere (a loop).
    std::string Build(std::vector<TiffDir> dirs, std::uint32_t nextOfLast = 0)
    {
        std::string out = "II*";
        out.push_back('\0');
        Put32(out, 8);
        std::vector<std::size_t> nextFields;
        std::vector<std::size_t> starts;
        for (auto& dir : dirs) {
            // Strip data: a StripOffsets value of 0 means "put the strip's bytes here".
            std::vector<std::pair<std::size_t, std::uint32_t>> dataAt;
            starts.push_back(out.size());
            const std::size_t n = dir.entries.size();
            std::size_t after = out.size() + 2 + 12 * n + 4;
            std::string extra;
            Put16(out, static_cast<std::uint16_t>(n));
            for (auto& [tag, e] : dir.entries) {
                const std::uint32_t unit = e.type == 3 ? 2 : e.type == 5 ? 8 : e.type == 4 ? 4 : 1;
                const std::uint32_t count = e.countOverride
                                                ? e.countOverride
                                                : static_cast<std::uint32_t>(e.values.size() / (e.type == 5 ? 2 : 1));
                std::string bytes;
                for (std::uint32_t v : e.values) {
                    if (unit == 2)
                        Put16(bytes, static_cast<std::uint16_t>(v));
                    else if (unit == 1)
                        bytes.push_back(static_cast<char>(v));
                    else
                        Put32(bytes, v);
                }
                Put16(out, tag);
                Put16(out, e.type);
                Put32(out, count);
                if (e.offsetOverride) {
                    Put32(out, e.offsetOverride);
                } else if (bytes.size() <= 4) {
                    bytes.resize(4, '\0');
                    out += bytes;
                } else {
                    Put32(out, static_cast<std::uint32_t>(after + extra.size()));
                    extra += bytes;
                }
            }
            nextFields.push_back(out.size());
            Put32(out, 0);
            out += extra;
            // Strip data for offsets given as 0.
            auto so = dir.entries.find(273);
            auto sc = dir.entries.find(279);
            if (so != dir.entries.end() && sc != dir.entries.end() && so->second.values.size() == 1 &&
                so->second.values[0] == 0 && !so->second.offsetOverride) {
                const std::uint32_t at = static_cast<std::uint32_t>(out.size());
                out.append(sc->second.values[0], '\0');
                // Patch the inline StripOffsets value.
                Patch(out, starts.back(), 273, at);
            }
        }
        for (std::size_t i = 0; i + 1 < dirs.size(); ++i)
            Set32(out, nextFields[i], static_cast<std::uint32_t>(starts[i + 1]));
        if (!nextFields.empty()) Set32(out, nextFields.back(), nextOfLast);
        return out;
    }

private:
    static void Put16(std::string& s, std::uint16_t v)
    {
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>(v >> 8));
    }
    static void Put32(std::string& s, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    static void Set32(std::string& s, std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    static void Patch(std::string& s, std::size_t dir, std::uint16_t tag, std::uint32_t v)
    {
        const std::size_t n = static_cast<unsigned char>(s[dir]) | static_cast<unsigned char>(s[dir + 1]) << 8;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t pos = dir + 2 + 12 * i;
            if ((static_cast<unsigned char>(s[pos]) | static_cast<unsigned char>(s[pos + 1]) << 8) == tag)
                Set32(s, pos + 8, v);
        }
    }
};
