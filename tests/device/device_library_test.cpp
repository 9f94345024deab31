// The load-per-use binding: what it does in which order, and that a library
// without the asked entry is reported, never called through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_library.h"
#include "tests/support/fake_library.h"

namespace tarnwick {
namespace {

using test::FakeLibraryLoader;

// Entries cannot capture, so they report through this.
std::vector<std::string>* g_events = nullptr;
std::string g_pipeNameSeen;

os::Handle OpenDevGives7() {
    g_events->push_back("call open_dev");
    return 7;
}

os::Handle OpenDevGivesNone() {
    g_events->push_back("call open_dev");
    return os::kInvalidHandle;
}

os::Handle OpenFileGives9(const char* pipeName) {
    g_events->push_back("call open_file");
    g_pipeNameSeen = pipeName;
    return 9;
}

// The maker's entries on i686 may clean their argument off the stack
// themselves or leave it to the caller; both must come back to a stack as
// it was. (On x86-64 these are one and the same convention.)
#if defined(__i386__)
#define TARNWICK_STDCALL __attribute__((stdcall))
#define TARNWICK_CDECL __attribute__((cdecl))
#else
#define TARNWICK_STDCALL
#define TARNWICK_CDECL
#endif
extern "C" TARNWICK_STDCALL os::Handle StdcallOpenFile(const char* pipeName) { return pipeName[0] == 'P' ? 11 : 0; }
extern "C" TARNWICK_CDECL os::Handle CdeclOpenFile(const char* pipeName) { return pipeName[0] == 'P' ? 12 : 0; }
extern "C" TARNWICK_STDCALL os::Handle StdcallOpenDev() { return 13; }

class DeviceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { g_events = &loader.events(); }
    void TearDown() override { g_events = nullptr; }

    FakeLibraryLoader loader;
    DeviceLibrary library{loader};
};

TEST_F(DeviceLibraryTest, EntriesOfEitherCallingConventionAreCalledAlike) {
    // Called many times over, a stack pointer left off by even one
    // argument would soon show.
    for (int round = 0; round < 1000; ++round) {
        loader.Offer("open_file", reinterpret_cast<void*>(&StdcallOpenFile));
        ASSERT_EQ(library.OpenFile("PIPE00").handle, 11);
        loader.Offer("open_file", reinterpret_cast<void*>(&CdeclOpenFile));
        ASSERT_EQ(library.OpenFile("PIPE00").handle, 12);
        loader.Offer("open_dev", reinterpret_cast<void*>(&StdcallOpenDev));
        ASSERT_EQ(library.OpenDev().handle, 13);
    }
}

TEST_F(DeviceLibraryTest, OpenDevLoadsLooksUpCallsOnceAndUnloadsBeforeReturning) {
    loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDevGives7));

    const DeviceCall call = library.OpenDev();

    EXPECT_EQ(call.status, LibraryStatus::Called);
    EXPECT_EQ(call.handle, 7);
    const std::vector<std::string> expected{std::string("load ") + kDeviceLibraryName, "find open_dev", "call open_dev",
                                            "unload"};
    EXPECT_EQ(loader.events(), expected);
    EXPECT_EQ(loader.loadedNow(), 0);
}

TEST_F(DeviceLibraryTest, OpenFilePassesThePipeNameAndUnloadsBeforeReturning) {
    loader.Offer("open_file", reinterpret_cast<void*>(&OpenFileGives9));

    const DeviceCall call = library.OpenFile("PIPE00");

    EXPECT_EQ(call.status, LibraryStatus::Called);
    EXPECT_EQ(call.handle, 9);
    EXPECT_EQ(g_pipeNameSeen, "PIPE00");
    const std::vector<std::string> expected{std::string("load ") + kDeviceLibraryName, "find open_file",
                                            "call open_file", "unload"};
    EXPECT_EQ(loader.events(), expected);
}

TEST_F(DeviceLibraryTest, NoDeviceIsACompletedCallWithTheInvalidHandle) {
    loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDevGivesNone));

    const DeviceCall call = library.OpenDev();

    EXPECT_EQ(call.status, LibraryStatus::Called);
    EXPECT_EQ(call.handle, os::kInvalidHandle);
}

TEST_F(DeviceLibraryTest, UnloadableLibraryIsNotLoadableAndNothingIsLookedUp) {
    loader.SetLoadable(false);
    loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDevGives7));

    const DeviceCall dev = library.OpenDev();
    const DeviceCall file = library.OpenFile("PIPE00");

    EXPECT_EQ(dev.status, LibraryStatus::NotLoadable);
    EXPECT_EQ(dev.handle, os::kInvalidHandle);
    EXPECT_EQ(file.status, LibraryStatus::NotLoadable);
    EXPECT_EQ(file.handle, os::kInvalidHandle);
    const std::vector<std::string> expected{std::string("load ") + kDeviceLibraryName, std::string("load ") + kDeviceLibraryName};
    EXPECT_EQ(loader.events(), expected);
}

TEST_F(DeviceLibraryTest, MissingEntryIsToldApartAndTheLibraryIsStillUnloaded) {
    // Only the other entry is there: each use must find its own.
    loader.Offer("open_file", reinterpret_cast<void*>(&OpenFileGives9));

    const DeviceCall call = library.OpenDev();

    EXPECT_EQ(call.status, LibraryStatus::EntryMissing);
    EXPECT_EQ(call.handle, os::kInvalidHandle);
    const std::vector<std::string> expected{std::string("load ") + kDeviceLibraryName, "find open_dev", "unload"};
    EXPECT_EQ(loader.events(), expected);
    EXPECT_EQ(loader.loadedNow(), 0);
}

TEST_F(DeviceLibraryTest, EveryUseLoadsAfresh) {
    loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDevGives7));

    library.OpenDev();
    library.OpenDev();
    library.OpenDev();

    int loads = 0;
    int unloads = 0;
    for (const std::string& event : loader.events()) {
        loads += event.rfind("load ", 0) == 0;
        unloads += event == "unload";
    }
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(unloads, 3);
}

TEST_F(DeviceLibraryTest, AnotherLibraryNameIsLoadedByThatName) {
    DeviceLibrary named(loader, "/opt/x/libOther.so");
    loader.Offer("open_dev", reinterpret_cast<void*>(&OpenDevGives7));

    named.OpenDev();

    ASSERT_FALSE(loader.events().empty());
    EXPECT_EQ(loader.events().front(), "load /opt/x/libOther.so");
}

}  // namespace
}  // namespace tarnwick
