// Binding anew for every use must not cost a descriptor or memory per use.
#include <gtest/gtest.h>

#include "device/presence_monitor.h"
#include "platform/posix/posix_system.h"
#include "tests/support/bin_dir.h"
#include "tests/support/process_usage.h"

namespace tarnwick {
namespace {

constexpr int kUses = 10000;
constexpr std::size_t kResidentSlack = 512 * 1024;

void ExpectNoGrowth(DeviceLibrary& library, os::HandleIo& handles) {
    PresenceMonitor monitor(library, handles);
    // The first uses fill caches of the loader and the allocator.
    for (int use = 0; use < 200; ++use) {
        monitor.OnTimer(kDeviceTimerId);
    }
    const std::size_t descriptorsBefore = test::OpenDescriptorCount();
    const std::size_t residentBefore = test::ResidentBytes();

    for (int use = 0; use < kUses; ++use) {
        monitor.OnTimer(kDeviceTimerId);
    }

    EXPECT_EQ(test::OpenDescriptorCount(), descriptorsBefore);
    if (test::ResidentSizeIsMeaningful()) {
        EXPECT_LE(test::ResidentBytes(), residentBefore + kResidentSlack);
    }
}

TEST(LoadUnload, ProbingADeviceTenThousandTimesLeaksNothing) {
    os::posix::DlLibraryLoader loader;
    os::posix::FdHandleIo handles;
    // This double opens a real descriptor for every probe, which the
    // monitor must close.
    DeviceLibrary library(loader, test::DoubleLibraryPath("no_open_file"));
    ASSERT_EQ(library.OpenFile("PIPE00").status, LibraryStatus::EntryMissing);

    ExpectNoGrowth(library, handles);
}

TEST(LoadUnload, ALibraryWithoutTheEntryLeaksNothingEither) {
    os::posix::DlLibraryLoader loader;
    os::posix::FdHandleIo handles;
    DeviceLibrary library(loader, test::DoubleLibraryPath("no_open_dev"));
    ASSERT_EQ(library.OpenDev().status, LibraryStatus::EntryMissing);

    ExpectNoGrowth(library, handles);
}

}  // namespace
}  // namespace tarnwick
