#include "tests/gui/window_fixture.h"

#include <fstream>
#include <thread>
#include <utility>

#include <wx/app.h>
#include <wx/evtloop.h>

#include "app/template_builder.h"
#include "device/device_library.h"

namespace tarnwick::gui_test {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The test program's own folder: the build puts every program and the
// stand-in library there, and the doubles below it.
std::string BinFolder() {
    const std::string self = os::RealSystem().process.ExecutablePath();
    return self.substr(0, self.find_last_of("/\\"));
}

}  // namespace

std::optional<std::string> RecordingPrompts::ChooseImageFile(wxWindow* owner) {
    ++choosersShown_;
    owners_.push_back(owner);
    if (whileChoosing_) {
        std::exchange(whileChoosing_, nullptr)();
    }
    if (answers_.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

void RecordingPrompts::ShowMessage(wxWindow* owner, const wxString& text) {
    owners_.push_back(owner);
    messages_.push_back(text);
}

bool RecordingPrompts::AllOwnedBy(const wxWindow* window) const {
    for (const wxWindow* owner : owners_) {
        if (owner != window) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<os::LoadedLibrary> FolderLibraryLoader::Load(const std::string& name) {
    if (folder_.empty()) {
        return nullptr;
    }
    return os::RealSystem().libraries.Load(folder_ + kSeparator + name);
}

std::string DoubleFolder(const std::string& name) {
    return BinFolder() + kSeparator + "doubles" + kSeparator + name;
}
std::string StandInFolder() { return BinFolder(); }

PaintCounter::PaintCounter(wxWindow& window) : window_(window) {
    window_.Bind(wxEVT_PAINT, &PaintCounter::OnPaint, this);
}

PaintCounter::~PaintCounter() { window_.Unbind(wxEVT_PAINT, &PaintCounter::OnPaint, this); }

void PaintCounter::OnPaint(wxPaintEvent& event) {
    ++passes_;
    event.Skip();
}

WindowFixture::WindowFixture()
    : process_(folder.File("tarnwick")),
      system_{libraries, os::RealSystem().handles, os::RealSystem().files, os::RealSystem().profiles,
              os::RealSystem().clock, os::RealSystem().sleeper, process_, os::RealSystem().history} {}

WindowFixture::~WindowFixture() = default;

void WindowFixture::WriteLangIni(const std::string& text) { WriteFile("lang.ini", text); }

std::string WindowFixture::WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = folder.File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

CTarnwickDlg& WindowFixture::Open() {
    dialog_ = std::make_unique<CTarnwickDlg>(nullptr, DialogServices{system_, prompts});
    return *dialog_;
}

int WindowFixture::RunModal(const std::function<void()>& script) {
    CTarnwickDlg& window = *dialog_;
    window.CallAfter([&window, &script] {
        script();
        if (IsOpen(window)) {
            window.EndModal(kScriptLeftOpen);
        }
    });
    return window.ShowModal();
}

bool WindowFixture::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void WindowFixture::PumpFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    PumpUntil([deadline] { return std::chrono::steady_clock::now() >= deadline; }, duration * 2);
}

wxWindow* WindowFixture::Control(int templateId) { return dialog_->FindWindow(WxIdFor(templateId)); }

wxString WindowFixture::LabelOf(int templateId) {
    wxWindow* control = Control(templateId);
    return control == nullptr ? wxString("<no control>") : control->GetLabel();
}

}  // namespace tarnwick::gui_test
