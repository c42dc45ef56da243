#include "win32/standard_box.h"

#include "app/shell_rules.h"
#include "common/wide_text.h"

namespace netupdate::win32 {

void showStandardMessageBox(HWND mainWindow, const std::string& text) {
  const bool shown = mainWindow != nullptr && ::IsWindowVisible(mainWindow);
  const UINT modality = shown ? MB_APPLMODAL : MB_TASKMODAL;
  ::MessageBoxW(shown ? mainWindow : nullptr, common::widen(text).c_str(),
                common::widen(app::kApplicationTitle).c_str(), MB_OK | MB_ICONERROR | modality);
}

}  // namespace netupdate::win32
