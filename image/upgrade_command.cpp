#include "image/upgrade_command.h"

#include <utility>

#include "device/device_library.h"
#include "device/library_diagnosis.h"
#include "image/image_check.h"
#include "image/transfer_worker.h"
#include "support/sha256.h"

namespace tarnwick {
namespace {

std::optional<Refusal> LoadRefusalOf(const os::LoadedFile& file, const ImageCheck& checked) {
    switch (file.status) {
        case os::FileStatus::Ok:
            break;
        case os::FileStatus::TooLarge:
            return Refusal::TooLarge;
        case os::FileStatus::CannotOpen:
        case os::FileStatus::ReadError:
        case os::FileStatus::NoMemory:
            return Refusal::CannotLoad;
    }
    // The file may have changed since its header was checked (and the user
    // was shown its kind): what is sent must be what was checked.
    if (file.data == nullptr || !IsFileChecked(checked, {file.data.get(), static_cast<std::size_t>(file.size)})) {
        return Refusal::CannotLoad;
    }
    return std::nullopt;
}

UpgradeRun Refused(UpgradeSeam& seam, Refusal refusal) {
    seam.Refuse(refusal, RefusalMessageKey(refusal));
    return {UpgradeEnd::Refused, refusal};
}

ImageFacts FactsOf(const std::string& path, const ImageCheck& check, std::uint64_t fileSize) {
    return {path, *check.header, fileSize, fileSize > kHeaderAreaSize ? fileSize - kHeaderAreaSize : 0};
}

}  // namespace

UpgradeCommand::UpgradeCommand(os::FileReader& files, os::LibraryLoader& libraries, os::HandleIo& io,
                               os::HistoryStore* history)
    : files_(files), libraries_(libraries), io_(io), history_(history) {}

UpgradeRun UpgradeCommand::Run(UpgradeSeam& seam) {
    std::string path;
    ImageCheck check;
    std::optional<Loaded> loaded;
    if (const std::optional<UpgradeRun> ended = CheckChosen(seam, path, check, loaded, false)) {
        return *ended;
    }
    return Send(seam, path, check, std::move(loaded));
}

std::optional<PreparedImage> UpgradeCommand::Prepare(UpgradeSeam& seam) {
    std::string path;
    ImageCheck check;
    std::optional<Loaded> loaded;
    if (CheckChosen(seam, path, check, loaded, true)) {
        return std::nullopt;
    }
    return PreparedImage{check, FactsOf(path, check, loaded->size), loaded->block, loaded->sha256};
}

UpgradeRun UpgradeCommand::SendPrepared(UpgradeSeam& seam, const PreparedImage& image) {
    return Send(seam, image.facts.path, image.check, Loaded{image.block, image.facts.fileSize, image.sha256});
}

std::optional<UpgradeRun> UpgradeCommand::CheckChosen(UpgradeSeam& seam, std::string& path, ImageCheck& check,
                                                      std::optional<Loaded>& loaded, bool loadNow) {
    const std::optional<std::string> chosen = seam.ChooseImageFile();
    if (!chosen) {
        return UpgradeRun{UpgradeEnd::Cancelled, std::nullopt};
    }
    path = *chosen;
    seam.StoreImagePath(path);

    check = CheckImageFile(files_, path);
    if (check.status) {
        seam.ShowImageKind(*check.status);
    }
    if (check.refusal) {
        return Refused(seam, *check.refusal);
    }
    const std::optional<std::string> expected = seam.ExpectedSha256();
    if (!expected && !loadNow) {
        return std::nullopt;
    }
    std::variant<Loaded, Refusal> load = Load(path, check, true);
    if (const Refusal* refusal = std::get_if<Refusal>(&load)) {
        return Refused(seam, *refusal);
    }
    loaded = std::get<Loaded>(std::move(load));
    seam.ShowImageDigest(loaded->sha256);
    if (expected && *expected != loaded->sha256) {
        return Refused(seam, Refusal::DigestMismatch);
    }
    return std::nullopt;
}

std::variant<UpgradeCommand::Loaded, Refusal> UpgradeCommand::Load(const std::string& path, const ImageCheck& check,
                                                                  bool digest) {
    os::LoadedFile file = files_.LoadWhole(path, kImageSizeLimit);
    if (const auto refusal = LoadRefusalOf(file, check)) {
        return *refusal;
    }
    Loaded loaded{std::move(file.data), file.size, {}};
    if (digest) {
        loaded.sha256 = Sha256::HexDigestOf({loaded.block.get(), static_cast<std::size_t>(loaded.size)});
    }
    return loaded;
}

UpgradeRun UpgradeCommand::Send(UpgradeSeam& seam, const std::string& path, const ImageCheck& check,
                                std::optional<Loaded> loaded) {
    if (!seam.DevicePresent()) {
        return Refused(seam, Refusal::NoDevice);
    }
    ImageFacts facts = FactsOf(path, check, check.fileSize);
    if (!seam.ConfirmSend(facts)) {
        return {UpgradeEnd::Declined, std::nullopt};
    }

    const DeviceCall call = DeviceLibrary(libraries_).OpenFile(kPipeName);
    if (call.status != LibraryStatus::Called) {
        return Refused(seam, Refusal::LibraryUnusable);
    }
    if (call.handle == os::kInvalidHandle) {
        return Refused(seam, Refusal::DeviceUnreachable);
    }
    std::unique_ptr<os::DevicePipe> pipe = io_.Adopt(call.handle);

    if (!loaded) {
        std::variant<Loaded, Refusal> load = Load(path, check, false);
        if (const Refusal* refusal = std::get_if<Refusal>(&load)) {
            pipe.reset();
            // The pipe was opened: the history counts that as a transfer,
            // one that failed before its first byte.
            if (std::optional<HistoryEntry> entry =
                    HistoryFor(seam, path, check, Loaded{nullptr, check.fileSize, {}}, call.libraryPath)) {
                TransferOutcome outcome;
                outcome.failure = TransferFailure::NotLoaded;
                outcome.payload = facts.payloadSize;
                AppendRecord(*entry, outcome, 0);
            }
            return Refused(seam, *refusal);
        }
        loaded = std::get<Loaded>(std::move(load));
    }
    facts = FactsOf(path, check, loaded->size);

    TransferState state;
    state.image = loaded->block;
    state.imageSize = loaded->size;
    state.pipe = std::move(pipe);
    state.sent = 0;
    state.history = HistoryFor(seam, path, check, *loaded, call.libraryPath);
    if (!seam.StartTransfer(std::move(state), facts)) {
        return Refused(seam, Refusal::CannotStart);
    }
    seam.RearmPresenceTimer(kPresencePeriodAfterStart);
    return {UpgradeEnd::Started, std::nullopt};
}

std::optional<HistoryEntry> UpgradeCommand::HistoryFor(UpgradeSeam& seam, const std::string& path,
                                                      const ImageCheck& check, const Loaded& loaded,
                                                      const std::string& libraryPath) {
    std::optional<RecordOrigin> origin = seam.RecordAs();
    if (history_ == nullptr || !origin) {
        return std::nullopt;
    }
    HistoryEntry entry{history_, history_->Path(), {}};
    TransferRecordStart& start = entry.start;
    start.origin = std::move(*origin);
    start.time = history_->UtcNow();
    start.imagePath = path;
    start.imageSize = loaded.size;
    start.imageSha256 = loaded.sha256;
    start.imageKind = FlashTypeName(check.header->flashType);
    if (check.status && check.status->withDate) {
        start.imageDate = DateText(*check.status);
    }
    start.libraryPath = libraryPath;
    if (const std::optional<LibraryFile> library = ReadLibraryFile(files_, libraryPath)) {
        start.librarySha256 = library->sha256;
    }
    return entry;
}

}  // namespace tarnwick
