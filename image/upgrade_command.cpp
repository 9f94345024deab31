#include "image/upgrade_command.h"

#include <utility>

#include "device/device_library.h"
#include "image/image_check.h"

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

}  // namespace

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
    if (check.status) {
        seam.ShowImageKind(*check.status);
    }
    if (check.refusal) {
        return Refused(seam, *check.refusal);
    }
    if (!seam.DevicePresent()) {
        return Refused(seam, Refusal::NoDevice);
    }

    ImageFacts facts{path, *check.header, check.fileSize,
                     check.fileSize > kHeaderAreaSize ? check.fileSize - kHeaderAreaSize : 0};
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
        return Refused(seam, Refusal::CannotStart);
    }
    seam.RearmPresenceTimer(kPresencePeriodAfterStart);
    return {UpgradeEnd::Started, std::nullopt};
}

}  // namespace tarnwick
