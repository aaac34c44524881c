// A directory table with the frame's listing state around it, as CMainFrame holds them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "directory/DirTable.h"

class DirTableTest : public ::testing::Test {
protected:
    // Exactly QBX_MAX_DIR_ENTRIES records on the heap, so the sanitizer build
    // catches any access behind the block.
    std::vector<DirEntry> entries = std::vector<DirEntry>(QBX_MAX_DIR_ENTRIES);
    DirHeader dir{0, 0, entries.data()};
    CListingReader reader;
    std::string userID = "12";

    // Feeds the chunks in turn; returns the first result other than 2, else 2.
    int Feed(std::initializer_list<std::string> chunks)
    {
        for (const std::string& c : chunks) {
            const int r = reader.Feed(dir, userID.c_str(), c.data(), static_cast<int>(c.size()));
            if (r != QBX_LIST_MORE) return r;
        }
        return QBX_LIST_MORE;
    }

    // A new listing into an empty table.
    void Restart()
    {
        for (DirEntry& e : entries) std::memset(&e, 0, sizeof e);
        dir.count = 0;
        reader.Begin();
    }

    static std::string Line(const std::string& user, const std::string& seq, const std::string& date = "19991213093005",
                            const std::string& size = "100", const std::string& ext = ".TIF")
    {
        return "DXR/Images/" + user + "(" + seq + ")(" + date + ")" + ext + "\t" + size + "\n";
    }

    // A record as the listing leaves it: the line without its line end, the rest zero.
    static DirEntry Received(const std::string& line)
    {
        DirEntry e;
        std::memset(&e, 0, sizeof e);
        std::memcpy(e.path, line.data(), line.size() - 1);
        return e;
    }

    static bool SameBytes(const DirEntry& a, const DirEntry& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    // A finished record for the sort tests.
    void AddRecord(const char* path, const char* name, const char* size)
    {
        DirEntry& e = entries[dir.count++];
        std::strncpy(e.path, path, sizeof e.path - 1);
        std::strncpy(e.name, name, sizeof e.name - 1);
        std::strncpy(e.size, size, sizeof e.size - 1);
    }

    std::vector<int> Sorted(int key)
    {
        std::vector<int> order(dir.count);
        for (int i = 0; i < dir.count; ++i) order[i] = i;
        SortDirectoryOrder(dir, key, order.data());
        return order;
    }
};
