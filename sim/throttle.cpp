#include "sim/throttle.h"

#include <algorithm>
#include <cmath>

namespace tarnwick::sim {

Throttle::Throttle(std::uint64_t bytesPerSecond, Clock::time_point start)
    : rate_(bytesPerSecond), last_(start) {
    if (rate_ != 0) {
        const double rate = static_cast<double>(rate_);
        capacity_ = std::max(4096.0, rate / 20.0);
        // Reading in very small bites would cost more system calls than the
        // pacing is worth; about a millisecond's worth at a time is plenty.
        minimumRead_ = std::min(capacity_, std::max(1.0, rate / 1000.0));
    }
}

void Throttle::Refill(Clock::time_point now) {
    if (now <= last_) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - last_).count();
    tokens_ = std::min(capacity_, tokens_ + seconds * static_cast<double>(rate_));
    last_ = now;
}

std::size_t Throttle::Allowance(Clock::time_point now, std::size_t wanted) {
    if (rate_ == 0) {
        return wanted;
    }
    Refill(now);
    if (tokens_ < minimumRead_ && tokens_ < static_cast<double>(wanted)) {
        return 0;
    }
    return static_cast<std::size_t>(std::min(std::floor(tokens_), static_cast<double>(wanted)));
}

void Throttle::Took(std::size_t bytes) {
    if (rate_ != 0) {
        tokens_ -= static_cast<double>(bytes);
    }
}

std::chrono::nanoseconds Throttle::WaitTime() const {
    if (rate_ == 0 || tokens_ >= minimumRead_) {
        return std::chrono::nanoseconds(0);
    }
    const double seconds = (minimumRead_ - tokens_) / static_cast<double>(rate_);
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::ceil(seconds * 1e9)));
}

}  // namespace tarnwick::sim
