#pragma once

namespace netupdate::app {

// The main window as it was designed, in pixels at 96 dpi. Both shells lay
// their native controls out from this one table and scale it with the dpi.
inline constexpr int kClientWidth = 542;
inline constexpr int kClientHeight = 105;
inline constexpr const char* kFontFamily = "Tahoma";
inline constexpr int kFontPixelHeight = 12;

enum class ControlKind { Label, Button };

struct ControlLayout {
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  // A label sized to its text takes the text's width; the others are cut at their right edge.
  bool sizedToText;
  const char* text;
};

// In creation order, which is also the buttons' tab order.
inline constexpr ControlLayout kControls[] = {
    {"Label1", ControlKind::Label, 8, 8, 274, 14, true,
     "NAV üzemanyagárak frissítése a következő helyről:"},
    {"Label2", ControlKind::Label, 8, 28, 516, 14, false, ""},
    {"Label3", ControlKind::Label, 8, 56, 95, 14, true, "Aktuális folyamat:"},
    {"Label4", ControlKind::Label, 8, 76, 516, 14, false, ""},
    {"Button1", ControlKind::Button, 120, 48, 90, 25, false, "Oldal letöltése"},
    {"Button2", ControlKind::Button, 216, 48, 75, 25, false, "Feldolgoz"},
    {"Button3", ControlKind::Button, 297, 48, 144, 25, false, "Adatok beírása user-be"},
};

inline constexpr int kControlCount = static_cast<int>(sizeof kControls / sizeof kControls[0]);

}  // namespace netupdate::app
