#include "win32/message_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace netupdate::win32 {
namespace {

TEST(WithWindowsLineBreaks, EachBreakBecomesOneCrLf) {
  const struct {
    std::wstring in;
    std::wstring out;
  } cases[] = {
      {L"", L""},
      {L"no break", L"no break"},
      {L"a\rb", L"a\r\nb"},
      {L"a\nb", L"a\r\nb"},
      {L"a\r\nb", L"a\r\nb"},
      // LF CR is two breaks, as is CR CR: an empty line between.
      {L"a\n\rb", L"a\r\n\r\nb"},
      {L"a\r\rb", L"a\r\n\r\nb"},
      {L"a\r\n\r\nb", L"a\r\n\r\nb"},
      {L"a\r\n\nb", L"a\r\n\r\nb"},
      {L"\r", L"\r\n"},
      {L"end\r\n", L"end\r\n"},
      {L"\n\n", L"\r\n\r\n"},
      {L"árvíztűrő\rtükörfúrógép", L"árvíztűrő\r\ntükörfúrógép"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(withWindowsLineBreaks(c.in), c.out) << std::string(c.in.begin(), c.in.end());
  }
}

TEST(WrapWidth, HalfTheScreen) {
  EXPECT_EQ(wrapWidth(1280), 640);
  EXPECT_EQ(wrapWidth(1921), 960);
  EXPECT_EQ(wrapWidth(3840), 1920);
  // A screen nobody has still leaves room for a character.
  EXPECT_EQ(wrapWidth(0), 1);
}

bool overlap(const Box& a, const Box& b) {
  return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

TEST(LayOutMessage, PartsStayApartAndInsideTheDialog) {
  const struct {
    const char* name;
    MessageMeasures measures;
  } cases[] = {
      {"one short line, OK", {180, 13, 32, 40, 23, 1, 96}},
      {"empty text", {0, 0, 32, 40, 23, 1, 96}},
      {"text taller than the icon, Yes and No", {640, 91, 32, 48, 23, 2, 96}},
      {"text narrower than the buttons", {20, 13, 32, 48, 23, 2, 96}},
      {"150 %", {960, 140, 48, 72, 35, 2, 144}},
      {"wide button text", {50, 13, 32, 140, 23, 2, 96}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MessageMeasures& m = c.measures;
    const MessageLayout layout = layOutMessage(m);
    const Box client{0, 0, layout.clientWidth, layout.clientHeight};
    const auto inside = [&client](const Box& box) {
      return box.left > client.left && box.top > client.top && box.right() < client.right() &&
             box.bottom() < client.bottom();
    };

    EXPECT_EQ(layout.text.width, m.textWidth);
    EXPECT_EQ(layout.text.height, m.textHeight);
    EXPECT_EQ(layout.icon.width, m.iconSize);
    EXPECT_TRUE(inside(layout.icon));
    EXPECT_GE(layout.text.left, layout.icon.right()) << "text right of the icon";
    EXPECT_LT(layout.text.right(), client.right());
    EXPECT_GT(layout.text.top, 0);

    ASSERT_EQ(layout.buttons.size(), static_cast<std::size_t>(m.buttonCount));
    const Box& first = layout.buttons.front();
    const Box& last = layout.buttons.back();
    for (const Box& button : layout.buttons) {
      EXPECT_TRUE(inside(button));
      EXPECT_GE(button.width, m.buttonWidth);
      EXPECT_EQ(button.width, first.width) << "buttons of one width";
      EXPECT_EQ(button.top, first.top) << "buttons in one row";
      EXPECT_FALSE(overlap(button, layout.icon));
      EXPECT_FALSE(overlap(button, layout.text));
      EXPECT_GE(button.top, layout.icon.bottom());
      EXPECT_GE(button.top, layout.text.bottom());
    }
    for (std::size_t i = 1; i < layout.buttons.size(); ++i) {
      EXPECT_GT(layout.buttons[i].left, layout.buttons[i - 1].right());
    }
    // The row stands in the middle.
    EXPECT_LE(std::abs(first.left - (client.right() - last.right())), 1);
  }
}

TEST(LayOutMessage, ShortTextStandsBesideTheIconsMiddle) {
  const MessageLayout layout = layOutMessage({180, 14, 32, 40, 23, 1, 96});
  EXPECT_EQ(layout.text.top + layout.text.height / 2, layout.icon.top + layout.icon.height / 2);
}

TEST(LayOutMessage, ScalesWithTheDpi) {
  const MessageLayout at96 = layOutMessage({200, 13, 32, 40, 23, 2, 96});
  const MessageLayout at192 = layOutMessage({400, 26, 64, 80, 46, 2, 192});
  EXPECT_EQ(at192.clientWidth, 2 * at96.clientWidth);
  EXPECT_EQ(at192.clientHeight, 2 * at96.clientHeight);
  EXPECT_EQ(at192.buttons[1].left, 2 * at96.buttons[1].left);
}

}  // namespace
}  // namespace netupdate::win32
