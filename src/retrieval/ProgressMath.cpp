#include "retrieval/ProgressMath.h"

#include <cstdint>
#include <cstdio>

namespace {

// The leading decimal number of text, as atoi reads it, saturating at limit (or
// -limit - 1 below zero).
int64_t ReadLeadingNumber(const char* text, int64_t limit)
{
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulated as a magnitude that stops growing once past the range, so any
    // number of digits is read without overflow.
    const uint64_t max = negative ? static_cast<uint64_t>(limit) + 1 : static_cast<uint64_t>(limit);
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        value = value > (max - digit) / 10 ? max : value * 10 + digit;
    }
    if (!negative) return static_cast<int64_t>(value);
    return value == 0 ? 0 : -static_cast<int64_t>(value - 1) - 1;
}

}  // namespace

int32_t ReadSizeText(const char* text) { return static_cast<int32_t>(ReadLeadingNumber(text, INT32_MAX)); }

int64_t ReadFileSize(const char* text) { return ReadLeadingNumber(text, INT64_MAX); }

int FormatHMS(int64_t seconds, char* out, int outSize)
{
    if (out == nullptr || outSize <= 0) return -1;
    if (seconds < 0) seconds = 0;
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds - hours * 3600) / 60;
    const int64_t rest = seconds - hours * 3600 - minutes * 60;
    int n = std::snprintf(out, static_cast<size_t>(outSize), "%lld:%lld:%lld", static_cast<long long>(hours),
                          static_cast<long long>(minutes), static_cast<long long>(rest));
    if (n < 0) {
        out[0] = '\0';
        return -1;
    }
    return n < outSize ? n : outSize - 1;
}

int FormatEstimate(int32_t size, char* out, int outSize)
{
    const int64_t s = size < 0 ? 0 : size;
    return FormatHMS(s / QBX_DEFAULT_RATE + 1, out, outSize);
}

RateResult ComputeRate(uint32_t bytes, long long startSec, int startMs, long long nowSec, int nowMs)
{
    RateResult r{QBX_DEFAULT_RATE, 0, 0, 0, false};
    if (bytes == 0) {
        // The first update of a file, at its first byte: the measurement starts here.
        r.restartClock = true;
        return r;
    }
    r.ds = nowSec - startSec;
    r.dms = static_cast<long long>(nowMs) - startMs;

    long long elapsedMs;
    if (r.ds > 0) {
        elapsedMs = r.ds * 1000 + r.dms;  // at least 1, since dms > -1000
        r.traceKind = 1;
    } else if (r.ds == 0 && r.dms > 0) {
        elapsedMs = r.dms;
        r.traceKind = 2;
    } else {
        // No time has passed (ds and dms 0), or the clock went backwards:
        // nothing sensible can be measured, so the default rate stands.
        return r;
    }
    if (elapsedMs <= 0) return RateResult{QBX_DEFAULT_RATE, 0, r.ds, r.dms, false};

    const unsigned long long rate =
        static_cast<unsigned long long>(bytes) * 1000ULL / static_cast<unsigned long long>(elapsedMs);
    r.rate = rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate);
    return r;
}

uint32_t PercentOf(uint32_t bytes, int32_t size)
{
    // A size of 0 (or a nonsensical negative one) is complete from the start.
    if (size <= 0 || static_cast<int64_t>(bytes) >= size) return 100;
    const uint64_t percent = static_cast<uint64_t>(bytes) * 100ULL / static_cast<uint64_t>(size);
    return percent > 100 ? 100 : static_cast<uint32_t>(percent);
}

int FormatTimeLeft(int32_t size, uint32_t bytes, uint32_t rate, char* out, int outSize)
{
    const int64_t missing = static_cast<int64_t>(size) - static_cast<int64_t>(bytes);
    if (missing <= 0) return FormatHMS(0, out, outSize);
    const int64_t r = rate == 0 ? 1 : rate;
    int64_t seconds = missing / r;
    if (missing % r != 0) ++seconds;
    return FormatHMS(seconds, out, outSize);
}

int FormatProgressStatus(const char* fmt115, uint32_t bytes, int32_t size, uint32_t rate, char* out, int outSize)
{
    if (out == nullptr || outSize <= 0) return -1;
    out[0] = '\0';
    if (fmt115 == nullptr) return -1;
    const int shownBytes = bytes > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(bytes);
    const int n = std::snprintf(out, static_cast<size_t>(outSize), fmt115, shownBytes, static_cast<int>(size),
                                static_cast<double>(rate) / 1024.0);
    if (n < 0) {
        out[0] = '\0';
        return -1;
    }
    return n < outSize ? n : outSize - 1;
}
