#include <windows.h>

#include <memory>
#include <stdexcept>

#include "cli/testing/run_program.h"
#include "common/wide_text.h"

namespace netupdate::cli::testing {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// One argument as the program's CommandLineToArgvW will read it back:
// quoted when it holds blanks or quotes, backslashes doubled only before a quote.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

// A temporary file the child writes one stream into; it goes when we close it.
Handle outputFile() {
  wchar_t directory[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (::GetTempPathW(MAX_PATH + 1, directory) == 0 ||
      ::GetTempFileNameW(directory, L"cli", 0, name) == 0) {
    throw std::runtime_error("no temporary file");
  }
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE file = ::CreateFileW(
      name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a temporary file");
  return Handle(file);
}

std::string readAll(HANDLE file) {
  LARGE_INTEGER start{};
  ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args) {
  std::wstring path = common::widen(program);
  wchar_t full[MAX_PATH];
  const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) path.assign(full, length);
  std::wstring commandLine = quoted(path);
  for (const std::string& arg : args) commandLine += L" " + quoted(common::widen(arg));

  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const Handle nothing(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherited, OPEN_EXISTING, 0, nullptr));
  const Handle out = outputFile();
  const Handle err = outputFile();

  // Only these three handles go to the child, whatever else this process
  // holds open and inheritable.
  HANDLE handed[] = {nothing.get(), out.get(), err.get()};
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> attributeStorage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStorage.data());
  if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
      !::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed,
                                   sizeof handed, nullptr, nullptr)) {
    throw std::runtime_error("cannot limit the inherited handles");
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = nothing.get();
  startup.StartupInfo.hStdOutput = out.get();
  startup.StartupInfo.hStdError = err.get();
  startup.lpAttributeList = attributes;

  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                        nullptr, &startup.StartupInfo, &process);
  ::DeleteProcThreadAttributeList(attributes);
  ProgramRun run;
  if (!started) return run;
  const Handle processHandle(process.hProcess);
  const Handle threadHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (::GetExitCodeProcess(process.hProcess, &code)) run.status = static_cast<int>(code);
  run.out = readAll(out.get());
  run.err = readAll(err.get());
  return run;
}

}  // namespace netupdate::cli::testing
