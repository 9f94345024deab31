#pragma once
// Paces reading to a byte rate, as a slow device would: a token bucket that
// fills at the rate and holds at most 50 ms worth. That is enough to ride
// out a late wake-up of the reading thread without losing rate, and small
// enough that a sender that pauses cannot make up for it with a long burst.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tarnwick::sim {

class Throttle {
public:
    using Clock = std::chrono::steady_clock;

    // 0 means no limit.
    Throttle(std::uint64_t bytesPerSecond, Clock::time_point start);

    bool limited() const { return rate_ != 0; }
    // Bytes that may be read now; 0 means wait for WaitTime() first. Never
    // more than `wanted`.
    std::size_t Allowance(Clock::time_point now, std::size_t wanted);
    // Records that `bytes` were read.
    void Took(std::size_t bytes);
    // How long until a worthwhile read is allowed.
    std::chrono::nanoseconds WaitTime() const;

private:
    void Refill(Clock::time_point now);

    std::uint64_t rate_;
    double capacity_ = 0;
    double minimumRead_ = 0;
    double tokens_ = 0;
    Clock::time_point last_;
};

}  // namespace tarnwick::sim
