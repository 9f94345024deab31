#include "image/upgrade_command.h"

#include <utility>

#include "device/device_library.h"
#include "image/image_check.h"

namespace tarnwick {
namespace {

UpgradeRefusal RefusalOf(ImageVerdict verdict) {
    switch (verdict) {
        case ImageVerdict::CannotOpen:
            return UpgradeRefusal::CannotOpen;
        case ImageVerdict::TooShort:
            return UpgradeRefusal::TooShort;
        case ImageVerdict::NoSignature:
            return UpgradeRefusal::NoSignature;
        case ImageVerdict::UartImage:
            return UpgradeRefusal::UartImage;
        case ImageVerdict::TooLarge:
        case ImageVerdict::Sendable:
            break;
    }
    return UpgradeRefusal::TooLarge;
}

std::optional<UpgradeRefusal> LoadRefusalOf(const os::LoadedFile& file, const ImageCheck& checked) {
    switch (file.status) {
        case os::FileStatus::Ok:
            break;
        case os::FileStatus::TooLarge:
            return UpgradeRefusal::TooLarge;
        case os::FileStatus::CannotOpen:
        case os::FileStatus::ReadError:
        case os::FileStatus::NoMemory:
            return UpgradeRefusal::CannotLoad;
    }
    // The file may have changed since its header was checked (and the user
    // was shown its kind): what is sent must be what was checked.
    if (file.data == nullptr || !IsFileChecked(checked, {file.data.get(), file.size})) {
        return UpgradeRefusal::CannotLoad;
    }
    return std::nullopt;
}

UpgradeRun Refused(UpgradeSeam& seam, UpgradeRefusal refusal) {
    seam.Refuse(refusal, RefusalMessageKey(refusal));
    return {UpgradeEnd::Refused, refusal};
}

}  // namespace

std::string_view RefusalMessageKey(UpgradeRefusal refusal) {
    switch (refusal) {
        case UpgradeRefusal::CannotOpen:
        case UpgradeRefusal::CannotLoad:
            return "1020";
        case UpgradeRefusal::NoDevice:
        case UpgradeRefusal::DeviceUnreachable:
            return "1021";
        case UpgradeRefusal::NoSignature:
        case UpgradeRefusal::UartImage:
        case UpgradeRefusal::TooLarge:
            return "1022";
        case UpgradeRefusal::TooShort:
            return "1023";
        case UpgradeRefusal::LibraryUnusable:
            return "1031";
        case UpgradeRefusal::CannotStart:
            return "1032";
    }
    return "1032";
}

UpgradeCommand::UpgradeCommand(os::FileReader& files, os::LibraryLoader& libraries, os::HandleIo& io)
    : files_(files), libraries_(libraries), io_(io) {}

UpgradeRun UpgradeCommand::Run(UpgradeSeam& seam) {
    const std::optional<std::string> chosen = seam.ChooseImageFile();
    if (!chosen) {
        return {UpgradeEnd::Cancelled, std::nullopt};
    }
    const std::string path = *chosen;
    seam.StoreImagePath(path);

    const ImageCheck check = CheckImageFile(files_, path);
    if (!check.header) {
        return Refused(seam, RefusalOf(check.verdict));
    }
    if (check.status) {
        seam.ShowImageKind(*check.status);
    }
    if (check.verdict != ImageVerdict::Sendable) {
        return Refused(seam, RefusalOf(check.verdict));
    }
    if (!seam.DevicePresent()) {
        return Refused(seam, UpgradeRefusal::NoDevice);
    }

    ImageFacts facts{path, *check.header, check.fileSize,
                     check.fileSize > kHeaderAreaSize ? check.fileSize - kHeaderAreaSize : 0};
    if (!seam.ConfirmSend(facts)) {
        return {UpgradeEnd::Declined, std::nullopt};
    }

    const DeviceCall call = DeviceLibrary(libraries_).OpenFile(kPipeName);
    if (call.status != LibraryStatus::Called) {
        return Refused(seam, UpgradeRefusal::LibraryUnusable);
    }
    if (call.handle == os::kInvalidHandle) {
        return Refused(seam, UpgradeRefusal::DeviceUnreachable);
    }
    std::unique_ptr<os::DevicePipe> pipe = io_.Adopt(call.handle);

    os::LoadedFile file = files_.LoadWhole(path, kImageSizeLimit);
    if (const auto refusal = LoadRefusalOf(file, check)) {
        pipe.reset();
        return Refused(seam, *refusal);
    }
    facts.fileSize = file.size;
    facts.payloadSize = file.size - kHeaderAreaSize;

    TransferState state;
    state.image = std::move(file.data);
    state.imageSize = file.size;
    state.pipe = std::move(pipe);
    state.sent = 0;
    if (!seam.StartTransfer(std::move(state), facts)) {
        return Refused(seam, UpgradeRefusal::CannotStart);
    }
    seam.RearmPresenceTimer(kPresencePeriodAfterStart);
    return {UpgradeEnd::Started, std::nullopt};
}

}  // namespace tarnwick
