// Each test double, loaded in-process by its full path through the real
// loader: the binding must report what each one does wrong, and the handles
// it gets must behave as the double promises.
#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

#include "device/device_library.h"
#include "platform/posix/posix_system.h"
#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

bool IsOpenDescriptor(os::Handle handle) {
    return handle >= 0 && fcntl(static_cast<int>(handle), F_GETFD) != -1;
}

class DoublesTest : public ::testing::Test {
protected:
    DeviceLibrary Double(const std::string& name) {
        return DeviceLibrary(loader, test::DoubleLibraryPath(name));
    }

    os::posix::DlLibraryLoader loader;
    os::posix::FdHandleIo io;
};

TEST_F(DoublesTest, WithoutOpenDevTheProbeReportsTheMissingEntryButThePipeWorks) {
    DeviceLibrary library = Double("no_open_dev");

    EXPECT_EQ(library.OpenDev().status, LibraryStatus::EntryMissing);

    const DeviceCall pipe = library.OpenFile("PIPE00");
    ASSERT_EQ(pipe.status, LibraryStatus::Called);
    EXPECT_TRUE(IsOpenDescriptor(pipe.handle));
    io.Close(pipe.handle);
}

TEST_F(DoublesTest, WithoutOpenFileTheDeviceIsSeenButNoPipeCanBeHad) {
    DeviceLibrary library = Double("no_open_file");

    const DeviceCall probe = library.OpenDev();
    ASSERT_EQ(probe.status, LibraryStatus::Called);
    EXPECT_TRUE(IsOpenDescriptor(probe.handle));
    io.Close(probe.handle);

    const DeviceCall pipe = library.OpenFile("PIPE00");
    EXPECT_EQ(pipe.status, LibraryStatus::EntryMissing);
    EXPECT_EQ(pipe.handle, os::kInvalidHandle);
}

TEST_F(DoublesTest, OpenDevZeroHandsBackHandleZero) {
    const DeviceCall probe = Double("open_dev_zero").OpenDev();

    EXPECT_EQ(probe.status, LibraryStatus::Called);
    EXPECT_EQ(probe.handle, 0);
}

TEST_F(DoublesTest, OpenFileInvalidReportsADeviceButGivesTheInvalidPipe) {
    DeviceLibrary library = Double("open_file_invalid");

    const DeviceCall probe = library.OpenDev();
    ASSERT_EQ(probe.status, LibraryStatus::Called);
    EXPECT_NE(probe.handle, os::kInvalidHandle);
    io.Close(probe.handle);

    const DeviceCall pipe = library.OpenFile("PIPE00");
    EXPECT_EQ(pipe.status, LibraryStatus::Called);
    EXPECT_EQ(pipe.handle, os::kInvalidHandle);
}

TEST_F(DoublesTest, AMissingFileOrANonLibraryIsNotLoadable) {
    test::TempDir folder;
    const std::string notALibrary = folder.File("libVantrelUSB.so");
    {
        const int fd = open(notALibrary.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "not an ELF file", 15), 15);
        close(fd);
    }

    EXPECT_EQ(DeviceLibrary(loader, folder.File("absent.so")).OpenDev().status,
              LibraryStatus::NotLoadable);
    EXPECT_EQ(DeviceLibrary(loader, notALibrary).OpenDev().status, LibraryStatus::NotLoadable);
}

}  // namespace
}  // namespace tarnwick
