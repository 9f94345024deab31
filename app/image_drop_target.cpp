#include "app/image_drop_target.h"

#include <string>

#include "app/file_filter.h"
#include "app/tarnwick_dlg.h"
#include "app/wx_text.h"

namespace tarnwick {

bool ImageDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& fileNames) {
    if (dialog_.TransferRunning()) {
        return false;
    }
    for (const wxString& name : fileNames) {
        std::string path = ToFileSystemPath(name);
        if (!HasImageExtension(path)) {
            continue;
        }
        // The command may show message boxes: run it after the drop has
        // been answered, not inside the drag-and-drop exchange.
        dialog_.CallAfter([dialog = &dialog_, path = std::move(path)] {
            dialog->RunUpgrade(path);
        });
        return true;
    }
    return false;
}

}  // namespace tarnwick
