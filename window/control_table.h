#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kulverant {

// The window as data, in twips (1/1440 inch), read by every front end.

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

enum class ControlKind { Label, TextArea, Button };
enum class TextAlignment { Left, Centre };

struct FontSpec {
    std::string_view face;
    double points;
    bool bold;
};

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view caption;
    TwipRect rect;
    int tabIndex;
    std::optional<FontSpec> font; // nothing: the window's default font
    TextAlignment alignment;
};

inline constexpr std::string_view windowName = "kulverant";
inline constexpr std::string_view windowCaption = "Tevra Pocsag Display";
inline constexpr int clientWidthTwips = 4680;
inline constexpr int clientHeightTwips = 2805;

inline constexpr std::string_view headingName = "\u00dcberschrift";
inline constexpr std::string_view textAreaName = "kulverant_ausgeben";
inline constexpr std::string_view noticeName = "copyright";
inline constexpr std::string_view endButtonName = "Ende";

// In tab order. Screen readers name each control after the text it shows;
// the text area, which shows the message, after the heading above it.
inline constexpr std::array<ControlSpec, 4> controlTable = {{
    {headingName, ControlKind::Label, "Der letzte Kulverant lautet",
     {120, 120, 4335, 375}, 0, FontSpec{"Arial", 12.0, true}, TextAlignment::Centre},
    {textAreaName, ControlKind::TextArea, "",
     {120, 600, 4335, 1215}, 1, FontSpec{"Arial", 9.75, false}, TextAlignment::Left},
    {noticeName, ControlKind::Label, "Ohne Gew\u00e4hr",
     {3000, 2520, 1815, 255}, 2, FontSpec{"Arial", 8.25, false}, TextAlignment::Left},
    {endButtonName, ControlKind::Button, "Beenden",
     {1560, 1920, 1575, 375}, 3, std::nullopt, TextAlignment::Centre},
}};

/// Twips to pixels at a given resolution, rounded to the nearest pixel.
constexpr int pixelsFromTwips(int twips, int dotsPerInch = 96) {
    return (twips * dotsPerInch + 720) / 1440;
}

} // namespace kulverant
