// Presence decisions, table by table, and one monitor tick against a fake
// library and fake handles.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "device/presence_monitor.h"
#include "tests/support/fake_library.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

DeviceCall Called(os::Handle handle) { return {LibraryStatus::Called, handle, {}}; }

struct DecisionCase {
    const char* what;
    unsigned timerId;
    DeviceCall probe;
    bool presentBefore;
    bool presentAfter;
    std::optional<std::string_view> key;
    std::optional<std::chrono::milliseconds> period;
    bool close;
};

const DecisionCase kDecisionCases[] = {
    {"device found while absent", 1, Called(5), false, true, "1024", 1000ms, true},
    {"device found while present", 1, Called(5), true, true, "1024", 1000ms, true},
    {"handle zero is a device", 1, Called(0), false, true, "1024", 1000ms, true},
    {"no device while present", 1, Called(-1), true, false, "1025", 800ms, false},
    {"no device while absent", 1, Called(-1), false, false, "1025", 800ms, false},
    {"library missing keeps present", 1, {LibraryStatus::NotLoadable, -1, {}}, true, true,
     std::nullopt, std::nullopt, false},
    {"library missing keeps absent", 1, {LibraryStatus::NotLoadable, -1, {}}, false, false,
     std::nullopt, std::nullopt, false},
    {"entry missing is like library missing", 1, {LibraryStatus::EntryMissing, -1, {}}, true, true,
     std::nullopt, std::nullopt, false},
    {"other timer changes nothing", 2, Called(-1), true, true, std::nullopt, std::nullopt,
     false},
    {"timer zero changes nothing", 0, Called(5), false, false, std::nullopt, std::nullopt,
     false},
};

TEST(DecidePresence, FollowsTheProbe) {
    for (const DecisionCase& c : kDecisionCases) {
        SCOPED_TRACE(c.what);
        const PresenceDecision decision = DecidePresence(c.timerId, c.probe, c.presentBefore);
        EXPECT_EQ(decision.devicePresent, c.presentAfter);
        EXPECT_EQ(decision.statusKey, c.key);
        EXPECT_EQ(decision.nextPeriod, c.period);
        EXPECT_EQ(decision.closeHandle, c.close);
    }
}

// Handles closed through the fake, in order.
class RecordingHandles final : public os::HandleIo {
public:
    // A presence probe only ever closes the handle it got.
    std::unique_ptr<os::DevicePipe> Adopt(os::Handle) override {
        ADD_FAILURE() << "a probe's handle was adopted for writing";
        return nullptr;
    }
    void Close(os::Handle handle) override { closed.push_back(handle); }

    std::vector<os::Handle> closed;
};

os::Handle g_nextDevHandle = os::kInvalidHandle;
os::Handle OpenDev() { return g_nextDevHandle; }

class PresenceMonitorTest : public ::testing::Test {
protected:
    void OfferOpenDev(os::Handle answer) {
        g_nextDevHandle = answer;
        loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDev));
    }
    int Loads() const {
        int loads = 0;
        for (const std::string& event : loader.events()) {
            loads += event.rfind("load ", 0) == 0;
        }
        return loads;
    }

    test::FakeLibraryLoader loader;
    DeviceLibrary library{loader};
    RecordingHandles handles;
    PresenceMonitor monitor{library, handles};
};

TEST_F(PresenceMonitorTest, StartsAbsentWithTheFirstProbeDelay) {
    EXPECT_FALSE(monitor.devicePresent());
    EXPECT_EQ(monitor.period(), 100ms);
}

TEST_F(PresenceMonitorTest, ADeviceIsClosedOnceAndMakesThePeriodASecond) {
    OfferOpenDev(42);

    const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId);

    EXPECT_EQ(handles.closed, std::vector<os::Handle>{42});
    EXPECT_TRUE(monitor.devicePresent());
    EXPECT_EQ(monitor.period(), 1000ms);
    EXPECT_EQ(tick.decision.statusKey, kDeviceFoundKey);
}

TEST_F(PresenceMonitorTest, HandleZeroIsClosedToo) {
    OfferOpenDev(0);

    monitor.OnTimer(kDeviceTimerId);

    EXPECT_EQ(handles.closed, std::vector<os::Handle>{0});
    EXPECT_TRUE(monitor.devicePresent());
}

TEST_F(PresenceMonitorTest, DeviceGoneClosesNothingAndShortensThePeriod) {
    OfferOpenDev(42);
    monitor.OnTimer(kDeviceTimerId);
    OfferOpenDev(os::kInvalidHandle);

    monitor.OnTimer(kDeviceTimerId);

    EXPECT_EQ(handles.closed, std::vector<os::Handle>{42});
    EXPECT_FALSE(monitor.devicePresent());
    EXPECT_EQ(monitor.period(), 800ms);
}

TEST_F(PresenceMonitorTest, LibraryGoingMissingKeepsTheLastStateAndPeriod) {
    OfferOpenDev(42);
    monitor.OnTimer(kDeviceTimerId);
    loader.SetLoadable(false);

    const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId);

    EXPECT_EQ(tick.probe.status, LibraryStatus::NotLoadable);
    EXPECT_FALSE(tick.decision.statusKey.has_value());
    EXPECT_TRUE(monitor.devicePresent());
    EXPECT_EQ(monitor.period(), 1000ms);
}

TEST_F(PresenceMonitorTest, LibraryMissingFromTheStartKeepsProbingAtTheFirstDelay) {
    loader.SetLoadable(false);

    for (int tick = 0; tick < 5; ++tick) {
        monitor.OnTimer(kDeviceTimerId);
    }

    EXPECT_EQ(Loads(), 5);
    EXPECT_FALSE(monitor.devicePresent());
    EXPECT_EQ(monitor.period(), 100ms);
    EXPECT_TRUE(handles.closed.empty());
}

TEST_F(PresenceMonitorTest, AForeignTimerDoesNotProbe) {
    OfferOpenDev(42);

    const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId + 1);

    EXPECT_EQ(Loads(), 0);
    EXPECT_TRUE(handles.closed.empty());
    EXPECT_FALSE(tick.decision.statusKey.has_value());
    EXPECT_EQ(monitor.period(), 100ms);
}

}  // namespace
}  // namespace tarnwick
