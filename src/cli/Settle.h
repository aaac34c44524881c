// Whether a scan on the printer is finished. A scanner writes a multi-page scan page
// by page into the file the listing already shows, pausing between pages; a copy
// made during such a pause agrees with the listed size and still is not the scan.
// A file counts as finished only once it has shown the same size in two listings at
// least the settle time apart (a slow multi-page scan pauses less than that between
// pages); only then may it be deleted on the printer.
//
// Contract:
// - Listed takes each listing with the time it was made; a file at a size other than
//   the one seen last (or seen for the first time) starts its time anew, a file no
//   longer listed is forgotten.
// - Settled is true only for a file whose path and size, as in e, were listed at
//   least the settle time apart; a settle time of zero makes every listed file settled.
// - SettlesAt is when a listing could first prove e settled (its first sighting at
//   this size plus the settle time); the far future for a file not seen at e's size.
#pragma once

#include "app/Config.h"
#include "cli/PrinterLink.h"
#include "directory/DirTable.h"

#include <chrono>
#include <map>
#include <string>

class CSettleTracker {
public:
    explicit CSettleTracker(std::chrono::seconds settle) : m_settle(settle) {}

    // begun: when the listing job was sent; ended: when its answer was complete. The
    // printer looked at its files somewhere in between, so a size's first sighting
    // counts from ended and its latest from begun.
    void Listed(const DirHeader& dir, QbxClock::time_point begun, QbxClock::time_point ended);
    bool Settled(const DirEntry& e) const;
    QbxClock::time_point SettlesAt(const DirEntry& e) const;
    std::chrono::seconds SettleTime() const { return m_settle; }
    // The size e's file had in the last listing; empty when it was not listed.
    std::string LastSize(const DirEntry& e) const;

private:
    struct Seen {
        std::string size;
        QbxClock::time_point first;  // first listing that showed this size
        QbxClock::time_point last;   // latest listing that showed it
    };
    std::chrono::seconds m_settle;
    std::map<std::string, Seen> m_seen;  // by printer path
};
