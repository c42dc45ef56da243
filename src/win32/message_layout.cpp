#include "win32/message_layout.h"

#include <algorithm>

namespace netupdate::win32 {

namespace {

// The dialog's spacing in 96-dpi pixels, close to the system's own message box.
constexpr int kMargin = 12;
constexpr int kIconGap = 12;
constexpr int kButtonRowGap = 14;
constexpr int kButtonGap = 8;
constexpr int kMinimumButtonWidth = 75;
constexpr int kMinimumClientWidth = 160;

int at(int designPixels, int dpi) {
  return designPixels * dpi / 96;
}

}  // namespace

std::wstring withWindowsLineBreaks(std::wstring_view text) {
  std::wstring result;
  result.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r') {
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      result += L"\r\n";
    } else if (c == L'\n') {
      result += L"\r\n";
    } else {
      result += c;
    }
  }
  return result;
}

int wrapWidth(int screenWidth) {
  return std::max(1, screenWidth / 2);
}

MessageLayout layOutMessage(const MessageMeasures& m) {
  const int margin = at(kMargin, m.dpi);
  const int buttonWidth = std::max(m.buttonWidth, at(kMinimumButtonWidth, m.dpi));
  const int buttonGap = at(kButtonGap, m.dpi);
  const int count = std::max(1, m.buttonCount);
  const int rowWidth = count * buttonWidth + (count - 1) * buttonGap;

  MessageLayout layout;
  layout.icon = {margin, margin, m.iconSize, m.iconSize};
  // A text shorter than the icon stands at the icon's middle, a taller one
  // starts level with it.
  const int textTop = margin + std::max(0, (m.iconSize - m.textHeight) / 2);
  layout.text = {layout.icon.right() + at(kIconGap, m.dpi), textTop, m.textWidth, m.textHeight};

  const int contentWidth = std::max(layout.text.right(), margin + rowWidth) + margin;
  layout.clientWidth = std::max(contentWidth, at(kMinimumClientWidth, m.dpi));

  const int rowTop =
      std::max(layout.icon.bottom(), layout.text.bottom()) + at(kButtonRowGap, m.dpi);
  int left = (layout.clientWidth - rowWidth) / 2;
  for (int i = 0; i < count; ++i) {
    layout.buttons.push_back({left, rowTop, buttonWidth, m.buttonHeight});
    left += buttonWidth + buttonGap;
  }
  layout.clientHeight = rowTop + m.buttonHeight + margin;
  return layout;
}

}  // namespace netupdate::win32
