// The upgrade command as the main window runs it: the file chooser (or a
// dropped file), control 1004 for the image's kind, message boxes for
// refusals, devicePresent from the presence monitor, the window's own
// transfer thread and timer 1, and the history every front end keeps.

#include <utility>

#include "app/tarnwick_dlg.h"
#include "app/wx_text.h"
#include "image/upgrade_command.h"
#include "resources/resource_ids.h"

namespace tarnwick {

class CTarnwickDlg::UpgradeSeamImpl final : public UpgradeSeam {
public:
    UpgradeSeamImpl(CTarnwickDlg& dialog, std::optional<std::string> imageFile)
        : dialog_(dialog), imageFile_(std::move(imageFile)) {}

    std::optional<std::string> ChooseImageFile() override {
        if (imageFile_) {
            return imageFile_;
        }
        return dialog_.services.prompts.ChooseImageFile(&dialog_);
    }

    void StoreImagePath(const std::string& path) override { dialog_.imagePath = path; }

    void ShowImageKind(const ImageStatus& status) override {
        const std::string key(status.key);
        const std::string line = ComposeImageStatusText(dialog_.LookupText("message", key.c_str()), status);
        dialog_.SetControlText(res::kImageKindId, line.c_str());
    }

    bool DevicePresent() override { return dialog_.DevicePresent(); }

    // The window sends what the user picked without asking again. The one
    // thing it checks here, right before the pipe is opened, is that no
    // transfer has started meanwhile: the file chooser and the message
    // boxes are modal, but a queued click or drop may still have run.
    bool ConfirmSend(const ImageFacts&) override { return !dialog_.TransferRunning(); }

    void Refuse(Refusal, std::string_view messageKey) override {
        dialog_.ShowMessage(std::string(messageKey).c_str());
    }

    bool StartTransfer(TransferState state, const ImageFacts&) override {
        return dialog_.StartTransfer(std::move(state));
    }

    void RearmPresenceTimer(std::chrono::milliseconds period) override {
        dialog_.deviceTimer.Start(static_cast<int>(period.count()));
    }

    // Every transfer the window starts is recorded; one that cannot be
    // says nothing, as the window has no place for it.
    std::optional<RecordOrigin> RecordAs() override { return RecordOrigin{"window", std::nullopt}; }

private:
    CTarnwickDlg& dialog_;
    std::optional<std::string> imageFile_;
};

void CTarnwickDlg::RunUpgrade(std::optional<std::string> imageFile) {
    // One transfer at a time: button 1000 is disabled while one runs, and a
    // drop or a queued click that arrives meanwhile is ignored.
    if (TransferRunning()) {
        return;
    }
    UpgradeSeamImpl seam(*this, std::move(imageFile));
    UpgradeCommand command(services.system.files, services.system.libraries, services.system.handles,
                           &services.system.history);
    command.Run(seam);
}

}  // namespace tarnwick
