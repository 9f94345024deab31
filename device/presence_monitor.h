#pragma once
// Whether a device is attached, asked of the device library on a timer.
//
// The decisions are pure (DecidePresence) so that any front end can drive
// them from its own timer; PresenceMonitor adds the one probe per tick and
// the closing of the handle that a probe returns.

#include <chrono>
#include <optional>
#include <string_view>

#include "device/device_library.h"
#include "platform/system.h"

namespace tarnwick {

// The one timer that drives the monitor. Ticks of any other timer probe
// nothing and change nothing.
inline constexpr unsigned kDeviceTimerId = 1;

// The first probe runs this long after the window opens; after that the
// period follows the last answer.
inline constexpr std::chrono::milliseconds kFirstProbeDelay{100};
inline constexpr std::chrono::milliseconds kPresentPeriod{1000};
inline constexpr std::chrono::milliseconds kAbsentPeriod{800};

// Status line keys, in section "message".
inline constexpr std::string_view kDeviceFoundKey = "1024";
inline constexpr std::string_view kNoDeviceKey = "1025";

struct PresenceDecision {
    bool devicePresent = false;
    // The status text to show now; none when the tick changes nothing.
    std::optional<std::string_view> statusKey;
    // The period to re-arm the timer with; none keeps the current one.
    std::optional<std::chrono::milliseconds> nextPeriod;
    // The probe handed back a device handle that must be closed.
    bool closeHandle = false;
};

// What a tick of `timerId` makes of `probe` (the result of one "open_dev"
// use) when the state before it was `devicePresent`. A library that cannot
// be loaded, or that has no "open_dev", changes nothing. -1 means no device;
// every other value, zero included, is a device.
PresenceDecision DecidePresence(unsigned timerId, const DeviceCall& probe, bool devicePresent);

// One tick's full work against the real library: the probe, the decision,
// and the closing of a returned handle before anything else happens.
class PresenceMonitor {
public:
    PresenceMonitor(DeviceLibrary& library, os::HandleIo& handles);

    struct Tick {
        DeviceCall probe;  // what "open_dev" gave; its handle is already closed
        PresenceDecision decision;
    };

    // Probes only when `timerId` is the device timer. The returned tick's
    // probe status is NotLoadable for a foreign timer, which never probes.
    Tick OnTimer(unsigned timerId);

    bool devicePresent() const { return devicePresent_; }
    std::chrono::milliseconds period() const { return period_; }

private:
    DeviceLibrary& library_;
    os::HandleIo& handles_;
    bool devicePresent_ = false;
    std::chrono::milliseconds period_ = kFirstProbeDelay;
};

}  // namespace tarnwick
