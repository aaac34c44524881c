// Clocks of the platform layer: a monotonic millisecond count that drives the
// window timers and the socket time-outs, and the wall clock with milliseconds
// that the program reads for its throughput measurement.
//
// Contract: GetClock() never returns null; SetClock(nullptr) restores the
// system clock. The clock object is owned by whoever installs it and must
// outlive its use. A manual clock never sleeps: waits move it forward instead,
// so a chain of timers and time-outs runs in a test in no real time.
#pragma once

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds of a monotonic clock (arbitrary origin).
    virtual std::int64_t NowMs() = 0;
    // Wall-clock time: seconds since 1970 and milliseconds 0 to 999. Either
    // pointer may be null.
    virtual void WallTime(std::int64_t* seconds, int* millis) = 0;
    // True for a clock that tests move by hand.
    virtual bool IsManual() const { return false; }
    // A manual clock moves forward by ms instead of sleeping.
    virtual void SleepFor(std::int64_t /*ms*/) {}
};

// A clock moved by hand; monotonic and wall time move together unless set.
class ManualClock : public IClock {
public:
    std::int64_t NowMs() override { return m_nowMs; }
    void WallTime(std::int64_t* seconds, int* millis) override;
    bool IsManual() const override { return true; }
    void SleepFor(std::int64_t ms) override { Advance(ms); }

    void Advance(std::int64_t ms)
    {
        if (ms <= 0) return;
        m_nowMs += ms;
        m_wallMs += ms;
    }
    // Sets the wall clock (milliseconds since 1970); it may go backwards.
    void SetWallMs(std::int64_t ms) { m_wallMs = ms; }
    void SetWall(std::int64_t seconds, int millis) { m_wallMs = seconds * 1000 + millis; }

private:
    std::int64_t m_nowMs = 1000000;
    std::int64_t m_wallMs = 946684800000LL;  // 2000-01-01 00:00:00
};

IClock* GetClock();
void SetClock(IClock* clock);

// Milliseconds of the monotonic clock, cut to 32 bits like the system's tick count.
std::uint32_t GetTickCount();
