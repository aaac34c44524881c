// Throughput measurements and the figures the progress dialog shows for them, one row
// each: checked on the arithmetic alone (tests/pure) and through the dialog, on a
// manual clock (tests/progress).
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

struct ProgressRow {
    const char* name;
    std::uint32_t bytes;  // received since the first byte
    std::int32_t size;    // the file's listed size
    // Wall-clock times (seconds, milliseconds) of the first byte and of this update.
    long long startS;
    int startMs;
    long long nowS;
    int nowMs;
    std::uint32_t rate;  // bytes per second
    const char* trace;   // the throughput trace line, "" for none
    const char* status;
    const char* timeLeft;
    std::uint32_t percent;
};

inline void PrintTo(const ProgressRow& r, std::ostream* os) { *os << r.name; }

inline std::vector<ProgressRow> ProgressRows()
{
    return {
        {"OneAndAHalfSeconds", 2000, 100000, 100, 0, 101, 500, 1333, "ThroughPut is 1333, seconds 1\n",
         "2000\tof 100000 (at 1.3 K/sec)", "0:1:14", 2},
        // 1.5 s again, as two seconds less half a second.
        {"SecondsWithABorrowedMillisecondPart", 2000, 100000, 100, 700, 102, 200, 1333,
         "ThroughPut is 1333, seconds 2\n", "2000\tof 100000 (at 1.3 K/sec)", "0:1:14", 2},
        {"TwoSecondsLessEightHundredMilliseconds", 2400, 100000, 100, 900, 102, 100, 2000,
         "ThroughPut is 2000, seconds 2\n", "2400\tof 100000 (at 2.0 K/sec)", "0:0:49", 2},
        {"WithinOneSecondFromTheMilliseconds", 2000, 100000, 100, 100, 100, 350, 8000,
         "ThroughPut is 8000, milliseconds 250\n", "2000\tof 100000 (at 7.8 K/sec)", "0:0:13", 2},
        // Nothing sensible can be measured: the default rate stands, without a trace.
        {"NoTimePassed", 2000, 100000, 100, 500, 100, 500, 12000, "", "2000\tof 100000 (at 11.7 K/sec)", "0:0:9", 2},
        {"MillisecondsBackWithinTheSecond", 6000, 100000, 100, 500, 100, 200, 12000, "",
         "6000\tof 100000 (at 11.7 K/sec)", "0:0:8", 6},
        {"SecondsBack", 4000, 100000, 100, 500, 97, 500, 12000, "", "4000\tof 100000 (at 11.7 K/sec)", "0:0:8", 4},
        {"WholeSecondsBack", 2000, 100000, 100, 0, 50, 0, 12000, "", "2000\tof 100000 (at 11.7 K/sec)", "0:0:9", 2},
        {"FiveMillionBytesInTenSeconds", 5000000, 5000000, 1000, 0, 1010, 0, 500000,
         "ThroughPut is 500000, seconds 10\n", "5000000\tof 5000000 (at 488.3 K/sec)", "0:0:0", 100},
        {"CountsNearTheTopOf32Bits", 2147000000u, 2147483647, 1000, 0, 1100, 0, 21470000,
         "ThroughPut is 21470000, seconds 100\n", "2147000000\tof 2147483647 (at 20966.8 K/sec)", "0:0:1", 99},
        // Below one byte per second: one second counted per missing byte (98000 s).
        {"BelowOneBytePerSecond", 2000, 100000, 100, 0, 2500100, 0, 0, "ThroughPut is 0, seconds 2500000\n",
         "2000\tof 100000 (at 0.0 K/sec)", "27:13:20", 2},
    };
}
