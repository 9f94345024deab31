#pragma once
// Stand-ins for the clock, the sleeper, the device pipe, files and the
// device library, so that transfers run in fake time and every write can be
// made to fail, stall or take only part of its bytes.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/transfer_state.h"
#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick::testing {

using namespace std::chrono_literals;

// Read by the watching thread while the writing thread moves it on.
class FakeClock final : public os::Clock {
public:
    std::chrono::steady_clock::time_point Now() override {
        return start_ + std::chrono::steady_clock::duration(elapsed_.load());
    }
    void Advance(std::chrono::milliseconds by) {
        elapsed_.fetch_add(std::chrono::duration_cast<std::chrono::steady_clock::duration>(by).count());
    }
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::duration(elapsed_.load()));
    }

private:
    const std::chrono::steady_clock::time_point start_{std::chrono::hours(1)};
    std::atomic<std::chrono::steady_clock::rep> elapsed_{0};
};

// Sleeping only moves the fake clock on.
class FakeSleeper final : public os::Sleeper {
public:
    explicit FakeSleeper(FakeClock& clock) : clock_(clock) {}
    void Sleep(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        clock_.Advance(duration);
    }
    std::vector<std::chrono::milliseconds> sleeps;

private:
    FakeClock& clock_;
};

// One write call as the pipe saw it.
struct WriteCall {
    std::size_t asked = 0;
    os::WriteResult result;
};

// The device end of the pipe. `answer` decides each write (index counts all
// write calls); by default the device takes everything. Bytes a write
// accepted are appended to `received`.
//
// An answer of nullopt is a device that takes nothing: the write is held,
// as a real one blocks, until it is interrupted. When the hold begins the
// fake clock moves on by `heldFor`. An interrupted write had taken the
// first `takenWhenInterrupted` bytes. A driver that `ignoresInterrupts`
// holds the write until Release(), and then takes it whole.
class FakePipe final : public os::HandleIo {
public:
    using Answer = std::function<std::optional<os::WriteResult>(std::size_t index, std::size_t asked)>;

    explicit FakePipe(FakeClock& clock) : clock_(clock) {}

    std::unique_ptr<os::DevicePipe> Adopt(os::Handle handle) override {
        return std::make_unique<Adopted>(*this, handle);
    }

    void Close(os::Handle handle) override {
        std::lock_guard lock(mutex_);
        if (handle == kPipe) {
            ++closes_;
        } else {
            ++foreignCloses_;
        }
    }

    std::unique_ptr<os::DevicePipe> Open() { return Adopt(kPipe); }

    // Ends a write held by a driver that ignores interrupts.
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    int closes() const {
        std::lock_guard lock(mutex_);
        return closes_;
    }
    int foreignCloses() const {
        std::lock_guard lock(mutex_);
        return foreignCloses_;
    }
    int interrupts() const {
        std::lock_guard lock(mutex_);
        return interrupts_;
    }
    bool holding() const {
        std::lock_guard lock(mutex_);
        return held_;
    }
    std::vector<WriteCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<std::uint8_t> received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // The asked sizes of the writes the device accepted at least in part.
    std::vector<std::size_t> AcceptedWriteSizes() const {
        std::vector<std::size_t> sizes;
        for (const WriteCall& call : calls()) {
            if (call.result.status == os::WriteStatus::Accepted) {
                sizes.push_back(call.asked);
            }
        }
        return sizes;
    }

    static constexpr os::Handle kPipe = 41;
    Answer answer;
    std::chrono::milliseconds heldFor = kStallLimit;
    std::size_t takenWhenInterrupted = 0;
    bool ignoresInterrupts = false;

private:
    class Adopted final : public os::DevicePipe {
    public:
        Adopted(FakePipe& device, os::Handle handle) : device_(device), handle_(handle) {}
        ~Adopted() override { device_.Close(handle_); }
        bool BindWriter() override { return true; }
        os::WriteResult Write(std::span<const std::uint8_t> bytes) override { return device_.Write(handle_, bytes); }
        void Interrupt() override { device_.Interrupt(); }

    private:
        FakePipe& device_;
        const os::Handle handle_;
    };

    os::WriteResult Write(os::Handle handle, std::span<const std::uint8_t> bytes) {
        std::unique_lock lock(mutex_);
        std::optional<os::WriteResult> result = os::WriteResult{os::WriteStatus::Accepted, bytes.size()};
        if (handle != kPipe || closes_ > 0) {
            result = {os::WriteStatus::Broken, 0};
        } else if (answer) {
            result = answer(calls_.size(), bytes.size());
        }
        if (!result) {
            result = Hold(lock, bytes.size());
        }
        if (result->status == os::WriteStatus::Accepted) {
            result->accepted = std::min(result->accepted, bytes.size());
            received_.insert(received_.end(), bytes.begin(), bytes.begin() + result->accepted);
        }
        calls_.push_back({bytes.size(), *result});
        return *result;
    }

    os::WriteResult Hold(std::unique_lock<std::mutex>& lock, std::size_t asked) {
        held_ = true;
        interrupted_ = false;
        clock_.Advance(heldFor);
        changed_.wait(lock, [this] { return released_ || (interrupted_ && !ignoresInterrupts); });
        held_ = false;
        if (released_) {
            return os::WriteResult{os::WriteStatus::Accepted, asked};
        }
        const std::size_t taken = std::min(takenWhenInterrupted, asked);
        takenWhenInterrupted = 0;
        return taken > 0 ? os::WriteResult{os::WriteStatus::Accepted, taken}
                         : os::WriteResult{os::WriteStatus::Interrupted, 0};
    }

    // An interrupt reaches only a write that is held; one before it is lost.
    void Interrupt() {
        std::lock_guard lock(mutex_);
        ++interrupts_;
        interrupted_ = held_;
        changed_.notify_all();
    }

    FakeClock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<WriteCall> calls_;
    std::vector<std::uint8_t> received_;
    bool held_ = false;
    bool interrupted_ = false;
    bool released_ = false;
    int closes_ = 0;
    int foreignCloses_ = 0;
    int interrupts_ = 0;
};

// Records what the worker reports, and can raise the stop flag after a
// given number of pieces.
class RecordingObserver final : public TransferObserver {
public:
    explicit RecordingObserver(const FakePipe* pipe = nullptr) : pipe_(pipe) {}

    void OnProgress(int position, std::uint64_t sent, std::uint64_t payload) override {
        positions.push_back(position);
        sentAfterPiece.push_back(sent);
        lastPayload = payload;
        if (stopAfterPieces > 0 && positions.size() == stopAfterPieces) {
            stop.store(true);
        }
    }
    void BesideTheSend(std::span<const std::uint8_t> payload) override {
        ++besideCalls;
        payloadBeside.assign(payload.begin(), payload.end());
    }
    void OnFinished(const TransferOutcome& outcome) override {
        ++finishedCalls;
        finished = outcome;
        pipeClosesWhenFinished = pipe_ != nullptr ? pipe_->closes() : -1;
        blockHeldWhenFinished = !block.expired();
    }

    // The image block, watched: the worker must give it back before it
    // reports the end.
    std::weak_ptr<const std::uint8_t[]> block;
    bool blockHeldWhenFinished = false;

    std::vector<int> positions;
    std::vector<std::uint64_t> sentAfterPiece;
    std::uint64_t lastPayload = 0;
    int finishedCalls = 0;
    TransferOutcome finished;
    int pipeClosesWhenFinished = -1;
    int besideCalls = 0;
    std::vector<std::uint8_t> payloadBeside;
    std::size_t stopAfterPieces = 0;
    std::atomic<bool> stop{false};

private:
    const FakePipe* pipe_;
};

// An image file whose byte i is a function of i that differs between the
// header area and the payload, so that a shifted, skipped or repeated range
// shows in a byte comparison.
inline std::vector<std::uint8_t> PatternImage(std::size_t payloadSize) {
    std::vector<std::uint8_t> file(1024 + payloadSize);
    for (std::size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>((i * 131 + (i >> 8) * 7 + 3) & 0xFF);
    }
    file[0] = '$';
    file[1] = 1;
    return file;
}

inline os::FileBlock CopyToBlock(const std::vector<std::uint8_t>& bytes) {
    os::FileBlock block = os::AllocateFileBlock(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    return block;
}

// What the device must receive for this file: bytes 0..19, then 1024..end.
inline std::vector<std::uint8_t> ExpectedStream(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> stream(20 + (file.size() - 1024));
    const auto afterHeader = std::copy(file.begin(), file.begin() + 20, stream.begin());
    std::copy(file.begin() + 1024, file.end(), afterHeader);
    return stream;
}

// ---- Files and the device library, for the upgrade command ------------------

class FakeFiles final : public os::FileReader {
public:
    os::FilePrefix ReadPrefix(const std::string& path, std::size_t count) override {
        ++prefixReads;
        const auto found = files.find(path);
        if (found == files.end()) {
            return {os::FileStatus::CannotOpen, {}, 0};
        }
        const std::string& content = found->second;
        return {os::FileStatus::Ok, content.substr(0, count), content.size()};
    }

    os::LoadedFile LoadWhole(const std::string& path, std::uint64_t sizeLimit) override {
        ++wholeLoads;
        os::LoadedFile loaded;
        if (loadStatus != os::FileStatus::Ok) {
            loaded.status = loadStatus;
            return loaded;
        }
        const auto found = files.find(path);
        if (found == files.end()) {
            loaded.status = os::FileStatus::CannotOpen;
            return loaded;
        }
        // A file that changed between the header check and the load.
        const std::string& content = contentAtLoad ? *contentAtLoad : found->second;
        if (content.size() >= sizeLimit) {
            loaded.status = os::FileStatus::TooLarge;
            return loaded;
        }
        loaded.data = os::AllocateFileBlock(content.size());
        std::copy(content.begin(), content.end(), loaded.data.get());
        loaded.size = content.size();
        loaded.status = os::FileStatus::Ok;
        return loaded;
    }

    std::optional<std::string> ReadText(const std::string&, std::size_t) override { return std::nullopt; }

    std::map<std::string, std::string> files;
    os::FileStatus loadStatus = os::FileStatus::Ok;
    std::optional<std::string> contentAtLoad;
    int prefixReads = 0;
    int wholeLoads = 0;
};

// The device library: "open_file" gives `openFileHandle`. Loads and unloads
// are counted so that a test can see the library is never kept loaded.
class FakeLibraries final : public os::LibraryLoader {
public:
    std::unique_ptr<os::LoadedLibrary> Load(const std::string& name) override {
        ++attempts;
        lastName = name;
        if (!loadable) {
            return nullptr;
        }
        ++loads;
        return std::make_unique<Library>(*this);
    }

    bool loadable = true;
    bool hasOpenFile = true;
    int attempts = 0;
    int loads = 0;
    int unloads = 0;
    std::string lastName;
    std::vector<std::string> pipeNamesAsked;

    static inline os::Handle openFileHandle = FakePipe::kPipe;

private:
    class Library final : public os::LoadedLibrary {
    public:
        explicit Library(FakeLibraries& owner) : owner_(owner) { current = &owner; }
        ~Library() override {
            ++owner_.unloads;
            current = nullptr;
        }
        void* FindEntry(const char* name) const override {
            if (std::string(name) == "open_file" && owner_.hasOpenFile) {
                return reinterpret_cast<void*>(&OpenFile);
            }
            return nullptr;
        }

    private:
        static os::Handle OpenFile(const char* pipeName) {
            if (current != nullptr) {
                current->pipeNamesAsked.emplace_back(pipeName);
            }
            return openFileHandle;
        }
        FakeLibraries& owner_;
    };
    static inline FakeLibraries* current = nullptr;
};

}  // namespace tarnwick::testing
