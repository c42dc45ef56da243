// Shows one message dialog of netupdate's Windows window by itself and
// prints the answer (Ok, Yes, No or Cancel), so the end-to-end tests can
// press every key on the confirmation, which a run of the program only asks
// with a database engine behind it.
// Usage: message_probe.exe error|confirm MESSAGE-FILE   (the message in UTF-8)
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/wide_text.h"
#include "win32/message_dialog.h"

namespace {

const char* answerName(netupdate::common::DialogResult answer) {
  switch (answer) {
    case netupdate::common::DialogResult::Ok:
      return "Ok";
    case netupdate::common::DialogResult::Yes:
      return "Yes";
    case netupdate::common::DialogResult::No:
      return "No";
    case netupdate::common::DialogResult::Cancel:
      return "Cancel";
  }
  return "?";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  std::ifstream file(argv[2], std::ios::binary);
  const std::string message{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const auto kind = std::wstring(argv[1]) == L"confirm" ? netupdate::app::MessageKind::Confirmation
                                                        : netupdate::app::MessageKind::Error;
  const std::string answer =
      std::string(answerName(netupdate::win32::runMessageDialog(nullptr, kind, message))) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), answer.data(), static_cast<DWORD>(answer.size()),
            &written, nullptr);
  return 0;
}
