#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where the parts of a message dialog go, as plain arithmetic: the dialog
// measures its text, icon and buttons in the font and dpi it is shown with
// and places them by these rules, which tests check without a screen.
namespace netupdate::win32 {

// CR, LF and CR LF each become one CR LF, the only line break that both
// DrawText and the static control take the same way.
std::wstring withWindowsLineBreaks(std::wstring_view text);

// The widest a message's text may be before it wraps: half the screen.
int wrapWidth(int screenWidth);

struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }
  int bottom() const { return top + height; }
  friend bool operator==(const Box&, const Box&) = default;
};

// Everything in pixels of the screen the dialog is shown on.
struct MessageMeasures {
  int textWidth = 0;  // the wrapped text, as measured
  int textHeight = 0;
  int iconSize = 0;
  int buttonWidth = 0;  // the widest button text plus its padding
  int buttonHeight = 0;
  int buttonCount = 1;
  int dpi = 96;
};

struct MessageLayout {
  int clientWidth = 0;
  int clientHeight = 0;
  Box icon;
  Box text;
  std::vector<Box> buttons;  // client coordinates, left to right
};

MessageLayout layOutMessage(const MessageMeasures& measures);

}  // namespace netupdate::win32
