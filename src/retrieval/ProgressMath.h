// The arithmetic behind the progress dialog: the initial estimate of a file's
// transfer time, the measured throughput, the percentage, the time left and the
// status line. Pure functions; the frame supplies the clock readings, the byte
// count and the entry's size and shows the results.
#pragma once

#include <cstdint>

// Bytes per second assumed before anything has been measured.
constexpr uint32_t QBX_DEFAULT_RATE = 12000;

// Reads the leading decimal number of a size text as a signed 32-bit value,
// the way atoi does (optional blanks, optional sign, digits; 0 when there are
// none), but saturating at INT32_MAX / INT32_MIN instead of overflowing.
// A null text reads as 0.
int32_t ReadSizeText(const char* text);

// The same at full width: a file's size as the listing gave it, for every
// comparison of sizes (saturating at INT64_MAX / INT64_MIN).
int64_t ReadFileSize(const char* text);

// Writes "%d:%d:%d" (hours, minutes, seconds, no leading zeros) for a number
// of seconds into out. Returns the length written, or -1 when out is unusable.
int FormatHMS(int64_t seconds, char* out, int outSize);

// The estimate shown when a file starts: size / 12000 + 1 seconds (one second
// more than the quotient, also when it is exact). A negative size counts as 0.
int FormatEstimate(int32_t size, char* out, int outSize);

// Result of one throughput measurement.
struct RateResult {
    uint32_t rate;      // bytes per second
    int traceKind;      // 0 no trace, 1 "ThroughPut is %d, seconds %d\n" (rate, ds),
                        // 2 "ThroughPut is %d, milliseconds %d\n" (rate, dms)
    long long ds;       // now seconds - start seconds
    long long dms;      // now milliseconds - start milliseconds (may be negative)
    bool restartClock;  // bytes was 0: the caller sets the start time to now
};

// Throughput since the start of the measurement, in bytes per second.
// Times are wall-clock seconds since 1970 plus milliseconds 0 to 999.
// - bytes 0: the default rate; restartClock tells the caller to restart the
//   measurement at the current time.
// - ds > 0: bytes * 1000 / (ds * 1000 + dms), trace kind 1.
// - ds == 0 and dms > 0: bytes * 1000 / dms, trace kind 2.
// - otherwise (no time has passed, or the clock went backwards): the default
//   rate, no trace. A negative or absurd rate is never produced.
// Products are formed in 64 bits; a rate above UINT32_MAX saturates.
RateResult ComputeRate(uint32_t bytes, long long startSec, int startMs, long long nowSec, int nowMs);

// bytes * 100 / size, formed in 64 bits and capped at 100. When bytes has
// reached the size (this includes every count for a size of 0 or below) the
// result is 100; there is no division by zero.
uint32_t PercentOf(uint32_t bytes, int32_t size);

// Time left: (size - bytes) / rate seconds, one more when the division leaves
// a remainder, formatted as by FormatHMS. When bytes has reached the size the
// text is "0:0:0". A rate of 0 (below one byte per second) is divided as 1:
// the true time left is then at least the number of bytes still missing in
// seconds, so the figure shown is the honest lower bound.
int FormatTimeLeft(int32_t size, uint32_t bytes, uint32_t rate, char* out, int outSize);

// The status line: fmt115 (the string-table text "%d\tof %d (at %.1f K/sec)")
// formatted with bytes, size and rate / 1024.0. A byte count above INT32_MAX
// is shown as INT32_MAX so that "%d" never prints a negative number.
// Returns the length written (cut to outSize - 1), or -1 when out or the
// format is unusable.
int FormatProgressStatus(const char* fmt115, uint32_t bytes, int32_t size, uint32_t rate, char* out, int outSize);
