#include "retrieval/ProgressMath.h"

#include <gtest/gtest.h>

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

TEST(ProgressMath, MeasuredRate)
{
    RateResult r = ComputeRate(2000, 100, 0, 101, 500);  // 1.5 s
    EXPECT_EQ(r.rate, 1333u);
    EXPECT_EQ(r.traceKind, 1);
    EXPECT_EQ(Status(2000, 100000, r.rate), "2000\tof 100000 (at 1.3 K/sec)");
    EXPECT_EQ(TimeLeft(100000, 2000, r.rate), "0:1:14");
    EXPECT_EQ(PercentOf(2000, 100000), 2u);

    r = ComputeRate(2000, 100, 250, 100, 500);  // 250 ms within one second
    EXPECT_EQ(r.rate, 8000u);
    EXPECT_EQ(r.traceKind, 2);
    EXPECT_EQ(r.dms, 250);

    r = ComputeRate(2400, 100, 900, 102, 100);  // 1.2 s: ds 2, dms -800
    EXPECT_EQ(r.ds, 2);
    EXPECT_EQ(r.dms, -800);
    EXPECT_EQ(r.rate, 2000u);
}

TEST(ProgressMath, NoElapsedTimeOrClockBackwardsGivesTheDefaultRate)
{
    const long long t[][4] = {{100, 500, 100, 500}, {100, 500, 100, 200}, {100, 500, 99, 900}, {100, 0, 50, 0}};
    for (auto& c : t) {
        RateResult r = ComputeRate(2000, c[0], int(c[1]), c[2], int(c[3]));
        EXPECT_EQ(r.rate, 12000u) << c[2] << "." << c[3];
        EXPECT_EQ(r.traceKind, 0);
    }
}

TEST(ProgressMath, LargeCountsDoNotOverflow)
{
    RateResult r = ComputeRate(5000000, 1000, 0, 1010, 0);
    EXPECT_EQ(Status(5000000, 5000000, r.rate), "5000000\tof 5000000 (at 488.3 K/sec)");
    EXPECT_EQ(PercentOf(5000000, 5000000), 100u);
    EXPECT_EQ(TimeLeft(5000000, 5000000, r.rate), "0:0:0");

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
    RateResult r = ComputeRate(2000, 0, 0, 3000, 0);  // below one byte per second
    EXPECT_EQ(r.rate, 0u);
    EXPECT_EQ(TimeLeft(100000, 2000, r.rate), "27:13:20");  // divided as 1: 98000 s
    char small[6];
    EXPECT_EQ(FormatProgressStatus("%d\tof %d (at %.1f K/sec)", 2000, 100000, 1333, small, sizeof small), 5);
    EXPECT_STREQ(small, "2000\t");
}

}  // namespace
