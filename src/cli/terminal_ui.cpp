#include "cli/terminal_ui.h"

#include "cli/console.h"

namespace netupdate::cli {

namespace {

const char* answerWord(common::DialogResult answer) {
  switch (answer) {
    case common::DialogResult::Yes:
      return "yes";
    case common::DialogResult::No:
      return "no";
    case common::DialogResult::Ok:
      return "ok";
    case common::DialogResult::Cancel:
      break;
  }
  return "cancel";
}

}  // namespace

std::string printable(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F) c = '?';
  }
  return text;
}

std::string terminalLines(const std::string& prefix, const std::string& text) {
  std::string out;
  std::string line;
  auto flush = [&] {
    if (!line.empty()) {
      out += prefix + printable(line) + "\n";
      line.clear();
    }
  };
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      flush();
    } else {
      line += c;
    }
  }
  flush();
  if (out.empty()) out = prefix + "\n";
  return out;
}

TerminalUi::TerminalUi(std::FILE* out, std::FILE* err, common::DialogResult answer)
    : m_out(out), m_err(err), m_answer(answer) {}

void TerminalUi::showError(const std::string& message) {
  ++m_errorsShown;
  writeText(m_err, terminalLines("netupdate-cli: ", message));
  std::fflush(m_err);
}

common::DialogResult TerminalUi::confirm(const std::string& message) {
  std::string shown = terminalLines("? ", message);
  // The answer goes on the question's last line, where a person would type it.
  shown.insert(shown.size() - 1, std::string(" ") + answerWord(m_answer));
  writeText(m_out, shown);
  std::fflush(m_out);
  return m_answer;
}

void TerminalUi::requestClose() {
  m_closeRequested = true;
}

}  // namespace netupdate::cli
