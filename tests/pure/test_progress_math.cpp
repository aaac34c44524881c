#include "retrieval/ProgressMath.h"

#include "progress_rows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Estimate(int32_t size)
{
    char out[64];
    FormatEstimate(size, out, sizeof out);
    return out;
}

std::string TimeLeft(int32_t size, uint32_t bytes, uint32_t rate)
{
    char out[64];
    FormatTimeLeft(size, bytes, rate, out, sizeof out);
    return out;
}

std::string Status(uint32_t bytes, int32_t size, uint32_t rate)
{
    char out[128];
    FormatProgressStatus("%d\tof %d (at %.1f K/sec)", bytes, size, rate, out, sizeof out);
    return out;
}

TEST(ProgressMath, ReadSizeTextSaturates)
{
    EXPECT_EQ(ReadSizeText(" 42abc"), 42);
    EXPECT_EQ(ReadSizeText("abc"), 0);
    EXPECT_EQ(ReadSizeText("2147483648"), INT32_MAX);
    EXPECT_EQ(ReadSizeText("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(ReadSizeText("-99999999999"), INT32_MIN);
    // Sizes are compared at full width: a file over 2 GiB keeps its size.
    EXPECT_EQ(ReadFileSize("2200000000"), 2200000000LL);
    EXPECT_EQ(ReadFileSize("99999999999"), 99999999999LL);
    EXPECT_EQ(ReadFileSize("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(ReadFileSize("-99999999999999999999999"), INT64_MIN);
    EXPECT_EQ(ReadFileSize(" 42abc"), 42);
}

TEST(ProgressMath, EstimateAndFirstUpdate)
{
    EXPECT_EQ(Estimate(100000), "0:0:9");
    EXPECT_EQ(Estimate(24000), "0:0:3");
    EXPECT_EQ(Estimate(INT32_MAX), "49:42:37");

    RateResult r = ComputeRate(0, 100, 0, 200, 500);
    EXPECT_EQ(r.rate, 12000u);
    EXPECT_TRUE(r.restartClock);
    EXPECT_EQ(Status(0, 100000, r.rate), "0\tof 100000 (at 11.7 K/sec)");
    EXPECT_EQ(TimeLeft(100000, 0, r.rate), "0:0:9");
    EXPECT_EQ(TimeLeft(24000, 0, r.rate), "0:0:2");
}

// The trace line the frame writes for a measurement, "" for none.
std::string Trace(const RateResult& r)
{
    char line[96] = "";
    if (r.traceKind == 1) std::snprintf(line, sizeof line, "ThroughPut is %u, seconds %lld\n", r.rate, r.ds);
    if (r.traceKind == 2) std::snprintf(line, sizeof line, "ThroughPut is %u, milliseconds %lld\n", r.rate, r.dms);
    return line;
}

class ProgressFigures : public ::testing::TestWithParam<ProgressRow> {};

TEST_P(ProgressFigures, RateAndFiguresFollowTheClock)
{
    const ProgressRow& p = GetParam();
    RateResult r = ComputeRate(p.bytes, p.startS, p.startMs, p.nowS, p.nowMs);
    EXPECT_EQ(r.rate, p.rate);
    EXPECT_FALSE(r.restartClock);
    EXPECT_EQ(Trace(r), p.trace);
    EXPECT_EQ(Status(p.bytes, p.size, r.rate), p.status);
    EXPECT_EQ(TimeLeft(p.size, p.bytes, r.rate), p.timeLeft);
    EXPECT_EQ(PercentOf(p.bytes, p.size), p.percent);
}

INSTANTIATE_TEST_SUITE_P(Measured, ProgressFigures, ::testing::ValuesIn(ProgressRows()),
                         [](const ::testing::TestParamInfo<ProgressRow>& info) { return info.param.name; });

TEST(ProgressMath, LargeCountsDoNotOverflow)
{
    EXPECT_EQ(ComputeRate(4294967295u, 0, 0, 1000, 0).rate, 4294967u);
    EXPECT_EQ(ComputeRate(4294967295u, 0, 0, 0, 1).rate, UINT32_MAX);  // saturated
    EXPECT_EQ(PercentOf(2000000000u, INT32_MAX), 93u);
    EXPECT_EQ(Status(4294967295u, INT32_MAX, 1024), "2147483647\tof 2147483647 (at 1.0 K/sec)");
}

TEST(ProgressMath, EdgeChoices)
{
    EXPECT_EQ(PercentOf(0, 0), 100u);  // size 0: complete, no division by zero
    EXPECT_EQ(TimeLeft(0, 0, 12000), "0:0:0");
    EXPECT_EQ(PercentOf(100001, 100000), 100u);
    EXPECT_EQ(TimeLeft(100000, 100001, 1333), "0:0:0");
    char small[6];
    EXPECT_EQ(FormatProgressStatus("%d\tof %d (at %.1f K/sec)", 2000, 100000, 1333, small, sizeof small), 5);
    EXPECT_STREQ(small, "2000\t");
}

}  // namespace
