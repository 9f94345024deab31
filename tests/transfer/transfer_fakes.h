#pragma once
// Stand-ins for the clock, the sleeper, the device pipe, files and the
// device library, so that transfers run in fake time and every write can be
// made to fail, stall or take only part of its bytes.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "image/transfer_state.h"
#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick::testing {

using namespace std::chrono_literals;

class FakeClock final : public os::Clock {
public:
    std::chrono::steady_clock::time_point Now() override { return now_; }
    void Advance(std::chrono::milliseconds by) { now_ += by; }
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_);
    }

private:
    const std::chrono::steady_clock::time_point start_{std::chrono::hours(1)};
    std::chrono::steady_clock::time_point now_ = start_;
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
    std::chrono::milliseconds wait{0};
    os::WriteResult result;
};

// The device end of the pipe. `answer` decides each write (index counts all
// write calls); by default the device takes everything. Bytes a write
// accepted are appended to `received`. A NotReady answer spends the wait it
// was given on the fake clock, as a real device that takes nothing would.
// `cancelAnswer` says what a cancelled write under way had taken; its bytes
// are the first ones of the last write offered.
class FakePipe final : public os::HandleIo {
public:
    using Answer = std::function<os::WriteResult(std::size_t index, std::size_t asked)>;

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

    int closes() const {
        std::lock_guard lock(mutex_);
        return closes_;
    }
    int foreignCloses() const {
        std::lock_guard lock(mutex_);
        return foreignCloses_;
    }
    int cancels() const {
        std::lock_guard lock(mutex_);
        return cancels_;
    }
    std::vector<WriteCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
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
    std::size_t cancelAnswer = 0;
    std::vector<std::uint8_t> received;

private:
    class Adopted final : public os::DevicePipe {
    public:
        Adopted(FakePipe& device, os::Handle handle) : device_(device), handle_(handle) {}
        ~Adopted() override { device_.Close(handle_); }
        os::WriteResult Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) override {
            return device_.Write(handle_, bytes, wait);
        }
        os::WriteResult Cancel() override { return device_.Cancel(); }

    private:
        FakePipe& device_;
        const os::Handle handle_;
    };

    os::WriteResult Write(os::Handle handle, std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) {
        std::lock_guard lock(mutex_);
        os::WriteResult result{os::WriteStatus::Accepted, bytes.size()};
        if (handle != kPipe || closes_ > 0) {
            result = {os::WriteStatus::Broken, 0};
        } else if (answer) {
            result = answer(calls_.size(), bytes.size());
        }
        if (result.status == os::WriteStatus::Accepted) {
            result.accepted = std::min(result.accepted, bytes.size());
            received.insert(received.end(), bytes.begin(), bytes.begin() + result.accepted);
        } else if (result.status == os::WriteStatus::NotReady) {
            clock_.Advance(wait);
        }
        lastOffered_.assign(bytes.begin(), bytes.end());
        calls_.push_back({bytes.size(), wait, result});
        return result;
    }

    os::WriteResult Cancel() {
        std::lock_guard lock(mutex_);
        ++cancels_;
        const std::size_t taken = std::min(cancelAnswer, lastOffered_.size());
        if (taken == 0) {
            return {os::WriteStatus::NotReady, 0};
        }
        received.insert(received.end(), lastOffered_.begin(), lastOffered_.begin() + taken);
        return {os::WriteStatus::Accepted, taken};
    }

    FakeClock& clock_;
    mutable std::mutex mutex_;
    std::vector<WriteCall> calls_;
    std::vector<std::uint8_t> lastOffered_;
    int closes_ = 0;
    int foreignCloses_ = 0;
    int cancels_ = 0;
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
    void OnPipeClosed(std::span<const std::uint8_t> payload) override {
        ++pipeClosedCalls;
        payloadWhenClosed.assign(payload.begin(), payload.end());
        pipeClosesWhenPayloadSeen = pipe_ != nullptr ? pipe_->closes() : -1;
        finishedBeforePayloadSeen = finishedCalls > 0;
    }
    void OnFinished(const TransferOutcome& outcome) override {
        ++finishedCalls;
        finished = outcome;
        pipeClosesWhenFinished = pipe_ != nullptr ? pipe_->closes() : -1;
    }

    std::vector<int> positions;
    std::vector<std::uint64_t> sentAfterPiece;
    std::uint64_t lastPayload = 0;
    int finishedCalls = 0;
    TransferOutcome finished;
    int pipeClosesWhenFinished = -1;
    int pipeClosedCalls = 0;
    std::vector<std::uint8_t> payloadWhenClosed;
    int pipeClosesWhenPayloadSeen = -1;
    bool finishedBeforePayloadSeen = false;
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

inline std::unique_ptr<std::uint8_t[]> CopyToBlock(const std::vector<std::uint8_t>& bytes) {
    auto block = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    return block;
}

// What the device must receive for this file: bytes 0..19, then 1024..end.
inline std::vector<std::uint8_t> ExpectedStream(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> stream(file.begin(), file.begin() + 20);
    stream.insert(stream.end(), file.begin() + 1024, file.end());
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
        loaded.data = std::make_unique<std::uint8_t[]>(content.size());
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
