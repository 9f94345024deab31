// Many transfers in one process, through the upgrade command and the worker
// on a thread of their own, as the window runs them: nothing may pile up.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "image/upgrade_command.h"
#include "tests/support/process_usage.h"
#include "tests/transfer/flash_e2e_support.h"

namespace tarnwick {
namespace {

// The window's side of the seam, reduced to what a transfer needs: the
// worker runs on a std::thread that the front end joins when it ends.
class ThreadedFrontEnd final : public UpgradeSeam, public TransferObserver {
public:
    ThreadedFrontEnd(os::System& system, std::string path) : system_(system), path_(std::move(path)) {}

    std::optional<std::string> ChooseImageFile() override { return path_; }
    void StoreImagePath(const std::string&) override {}
    void ShowImageKind(const ImageStatus&) override {}
    bool DevicePresent() override { return true; }
    bool ConfirmSend(const ImageFacts&) override { return true; }
    void Refuse(Refusal refusal, std::string_view) override { refused = refusal; }
    bool StartTransfer(TransferState state, const ImageFacts&) override {
        worker_ = std::thread([this, state = std::move(state)]() mutable {
            TransferWorker(system_.sleeper, system_.clock).Run(std::move(state), *this, stop_);
        });
        return true;
    }
    void RearmPresenceTimer(std::chrono::milliseconds) override {}

    void OnProgress(int, std::uint64_t, std::uint64_t) override {}
    void OnFinished(const TransferOutcome& end) override { outcome = end; }

    void Join() {
        if (worker_.joinable()) {
            worker_.join();
        }
    }

    std::optional<Refusal> refused;
    std::optional<TransferOutcome> outcome;

private:
    os::System& system_;
    std::string path_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
};

class SocketVariable {
public:
    explicit SocketVariable(const std::string& path) { setenv("VANTREL_SIM_SOCKET", path.c_str(), 1); }
    ~SocketVariable() { unsetenv("VANTREL_SIM_SOCKET"); }
};

TEST(RepeatedTransfers, HundredTransfersInOneProcessLeakNeitherDescriptorsNorMemory) {
    test::SimProcess sim({.store = false});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());
    test::TempDir dir;
    const std::string path = dir.File("repeat.rad");
    const auto file = testing::PatternImage(300'000);
    testing::WriteFile(path, file);
    os::System& system = os::RealSystem();
    testing::BesideTestsLoader libraries(system.libraries);

    unsigned transfers = 0;
    auto transferOnce = [&] {
        ThreadedFrontEnd frontEnd(system, path);
        const UpgradeRun run = UpgradeCommand(system.files, libraries, system.handles).Run(frontEnd);
        frontEnd.Join();
        // The simulator serves one pipe at a time: let it finish this one.
        ++transfers;
        while (run.end == UpgradeEnd::Started) {
            const auto status = sim.Status();
            if (!status || (status->finished >= transfers && !status->transferRunning)) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return run.end == UpgradeEnd::Started && frontEnd.outcome &&
               frontEnd.outcome->result == TransferResult::Complete;
    };

    // The first runs load the library and settle the allocator.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(transferOnce());
    }
    const std::size_t descriptorsBefore = test::OpenDescriptorCount();
    const std::size_t residentBefore = test::ResidentBytes();
    int complete = 0;
    for (int i = 0; i < 100; ++i) {
        complete += transferOnce() ? 1 : 0;
    }
    EXPECT_EQ(complete, 100);
    EXPECT_EQ(test::OpenDescriptorCount(), descriptorsBefore);
    if (test::ResidentSizeIsMeaningful()) {
        // 100 leaked image blocks would be 30 MB; allow allocator noise only.
        EXPECT_LT(test::ResidentBytes(), residentBefore + 4 * 1024 * 1024);
    }
    const auto last = sim.WaitForTransfer(105);
    ASSERT_TRUE(last.has_value()) << sim.Log();
    EXPECT_TRUE(last->complete);
    EXPECT_EQ(last->payloadSha256, testing::PayloadSha(file));
}

}  // namespace
}  // namespace tarnwick
