#include "device/presence_monitor.h"

namespace tarnwick {

PresenceDecision DecidePresence(unsigned timerId, const DeviceCall& probe, bool devicePresent) {
    PresenceDecision decision;
    decision.devicePresent = devicePresent;
    if (timerId != kDeviceTimerId || probe.status != LibraryStatus::Called) {
        return decision;
    }
    if (probe.handle == os::kInvalidHandle) {
        decision.devicePresent = false;
        decision.statusKey = kNoDeviceKey;
        decision.nextPeriod = kAbsentPeriod;
        return decision;
    }
    decision.devicePresent = true;
    decision.statusKey = kDeviceFoundKey;
    decision.nextPeriod = kPresentPeriod;
    decision.closeHandle = true;
    return decision;
}

PresenceMonitor::PresenceMonitor(DeviceLibrary& library, os::HandleIo& handles)
    : library_(library), handles_(handles) {}

PresenceMonitor::Tick PresenceMonitor::OnTimer(unsigned timerId) {
    Tick tick;
    if (timerId != kDeviceTimerId) {
        tick.decision = DecidePresence(timerId, tick.probe, devicePresent_);
        return tick;
    }
    tick.probe = library_.OpenDev();
    tick.decision = DecidePresence(timerId, tick.probe, devicePresent_);
    if (tick.decision.closeHandle) {
        handles_.Close(tick.probe.handle);
    }
    devicePresent_ = tick.decision.devicePresent;
    if (tick.decision.nextPeriod) {
        period_ = *tick.decision.nextPeriod;
    }
    return tick;
}

}  // namespace tarnwick
