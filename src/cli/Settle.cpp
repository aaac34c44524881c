// Telling a finished scan from one the printer is still writing.
#include "cli/Settle.h"

#include <cstring>

namespace {

std::string Text(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace

void CSettleTracker::Listed(const DirHeader& dir, QbxClock::time_point begun, QbxClock::time_point ended)
{
    std::map<std::string, Seen> now;
    for (int i = 0; i < dir.count; ++i) {
        const DirEntry& e = dir.entries[i];
        const std::string path = Text(e.path, sizeof e.path);
        const std::string size = Text(e.size, sizeof e.size);
        auto before = m_seen.find(path);
        if (before != m_seen.end() && before->second.size == size)
            now[path] = {size, before->second.first, begun};
        else
            now[path] = {size, ended, ended};
    }
    m_seen = std::move(now);
}

bool CSettleTracker::Settled(const DirEntry& e) const
{
    auto it = m_seen.find(Text(e.path, sizeof e.path));
    if (it == m_seen.end() || it->second.size != Text(e.size, sizeof e.size)) return false;
    return it->second.last - it->second.first >= m_settle;
}

QbxClock::time_point CSettleTracker::SettlesAt(const DirEntry& e) const
{
    auto it = m_seen.find(Text(e.path, sizeof e.path));
    if (it == m_seen.end() || it->second.size != Text(e.size, sizeof e.size)) return QbxClock::time_point::max();
    return it->second.first + m_settle;
}

std::string CSettleTracker::LastSize(const DirEntry& e) const
{
    auto it = m_seen.find(Text(e.path, sizeof e.path));
    return it == m_seen.end() ? std::string() : it->second.size;
}
