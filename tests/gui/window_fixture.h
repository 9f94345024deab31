#pragma once
// Drives the real main window inside the test process: the window reads a
// lang.ini of the test's own (its "executable" lives in a temporary folder),
// loads the device library from a folder the test picks, and asks the test
// instead of the user for files and message boxes.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/string.h>

#include "app/tarnwick_dlg.h"
#include "app/user_prompts.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::gui_test {

// The file chooser answers from a queue; message boxes are recorded.
class RecordingPrompts final : public UserPrompts {
public:
    void AnswerNextChooser(std::optional<std::string> file) { answers_.push_back(std::move(file)); }
    // Runs once while the next chooser is open, as events the modal
    // chooser lets through would.
    void WhileNextChooserIsOpen(std::function<void()> action) { whileChoosing_ = std::move(action); }
    std::optional<std::string> ChooseImageFile(wxWindow* owner) override;
    void ShowMessage(wxWindow* owner, const wxString& text) override;

    const std::vector<wxString>& messages() const { return messages_; }
    int choosersShown() const { return choosersShown_; }
    // Every box so far was owned by this window.
    bool AllOwnedBy(const wxWindow* window) const;
    void Clear() { messages_.clear(); }

private:
    std::deque<std::optional<std::string>> answers_;
    std::function<void()> whileChoosing_;
    std::vector<wxString> messages_;
    std::vector<const wxWindow*> owners_;
    int choosersShown_ = 0;
};

// The running executable, as the window asks for it.
class FixedProcess final : public os::Process {
public:
    explicit FixedProcess(std::string path) : path_(std::move(path)) {}
    std::string ExecutablePath() override { return path_; }

private:
    std::string path_;
};

// Loads the device library from one folder (empty: no library at all).
class FolderLibraryLoader final : public os::LibraryLoader {
public:
    void UseFolder(std::string folder) { folder_ = std::move(folder); }
    std::unique_ptr<os::LoadedLibrary> Load(const std::string& name) override;

private:
    std::string folder_;
};

// Paths of the test doubles of the device library.
std::string DoubleFolder(const std::string& name);
// The folder of the stand-in library that reaches the simulator.
std::string StandInFolder();

// Counts the paint passes a window gets, through the window's own paint
// events, from its making until it goes.
class PaintCounter {
public:
    explicit PaintCounter(wxWindow& window);
    ~PaintCounter();
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    unsigned passes() const { return passes_; }

private:
    void OnPaint(wxPaintEvent& event);

    wxWindow& window_;
    unsigned passes_ = 0;
};

class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    // lang.ini beside the window's executable.
    void WriteLangIni(const std::string& text);
    // A file in the fixture's folder; returns its path.
    std::string WriteFile(const std::string& name, const std::string& bytes);

    // Opens the window. Everything the window needs must be set up first.
    CTarnwickDlg& Open();
    CTarnwickDlg& dialog() { return *dialog_; }

    // Runs the window modally; `script` runs inside the modal loop and the
    // window is ended by it (or, if it returns with the window still open,
    // with kScriptLeftOpen). Returns ShowModal's result.
    static constexpr int kScriptLeftOpen = 4242;
    int RunModal(const std::function<void()>& script);

    // Whether a window run modally is still open. (wx on Windows keeps a
    // window modal until its loop has returned, after EndModal has already
    // hidden it.)
    static bool IsOpen(const wxDialog& window) { return window.IsModal() && window.IsShown(); }

    // Handles window events until `done` holds or `timeout` passes.
    static bool PumpUntil(const std::function<bool()>& done,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    static void PumpFor(std::chrono::milliseconds duration);

    // The label a control of the window shows (template id).
    wxString LabelOf(int templateId);
    wxWindow* Control(int templateId);

    test::TempDir folder;
    RecordingPrompts prompts;
    FolderLibraryLoader libraries;

private:
    FixedProcess process_;
    os::System system_;
    std::unique_ptr<CTarnwickDlg> dialog_;
};

}  // namespace tarnwick::gui_test
