// Resource ids and sizes of the skin images (resources/twPhaseDX.rc, drawn by tools/make-skin).
// The RGBT images carry no header, so their users take the sizes from here.
#pragma once

namespace skin {

// Bitmaps.
constexpr int kPageBackgroundId = 103;
constexpr int kAnalysisBackgroundId = 104;  // the analysis page's, of the same size
constexpr int kClipOffId = 111;
constexpr int kClipHeldId = 112;
constexpr int kClipActiveId = 113;
constexpr int kIndicatorGlyphId = 7500;

constexpr int kPageWidth = 428;
constexpr int kPageHeight = 222;
constexpr int kClipWidth = 12;
constexpr int kClipHeight = 9;
constexpr int kGlyphWidth = 7;
constexpr int kGlyphHeight = 11;
constexpr unsigned kGlyphKeyColour = 0xff00ff;  // magenta, symmetric in RGB and COLORREF order

// RGBT images (RCDATA).
constexpr int kEditFieldId = 118;
constexpr int kSliderThumbId = 119;
constexpr int kButton76PressedId = 120;
constexpr int kArrowButtonPressedId = 121;
constexpr int kHelpButtonId = 122;
constexpr int kHelpButtonPressedId = 123;
constexpr int kBypassButtonId = 124;
constexpr int kBypassButtonPressedId = 125;
constexpr int kSetupButtonId = 126;
constexpr int kSetupButtonPressedId = 127;
constexpr int kButton76Id = 128;
constexpr int kArrowButtonId = 129;
constexpr int kLevelMeterLitId = 130;
constexpr int kLevelMeterId = 131;
constexpr int kPhaseMeterLitId = 132;
constexpr int kPhaseMeterId = 135;
constexpr int kModeButtonPressedId = 136;
constexpr int kModeButtonId = 137;
constexpr int kButton116Id = 140;
constexpr int kButton116PressedId = 141;
constexpr int kCorrelationMeterId = 142;
constexpr int kCorrelationMeterLitId = 143;

// Transparency values of an RGBT pixel.
constexpr int kOpaque = 0;
constexpr int kFullyTransparent = 255;

enum class RawImageKind { kButton, kOpaque, kOther };

struct RawImageInfo {
    int id;
    int width;
    int height;
    RawImageKind kind;  // buttons have transparent corners; meters are opaque throughout
};

constexpr RawImageInfo kRawImages[] = {
    {kEditFieldId, 40, 21, RawImageKind::kOther},
    {kSliderThumbId, 29, 16, RawImageKind::kOther},
    {kButton76Id, 76, 21, RawImageKind::kButton},
    {kButton76PressedId, 76, 21, RawImageKind::kButton},
    {kArrowButtonId, 15, 21, RawImageKind::kButton},
    {kArrowButtonPressedId, 15, 21, RawImageKind::kButton},
    {kHelpButtonId, 24, 21, RawImageKind::kButton},
    {kHelpButtonPressedId, 24, 21, RawImageKind::kButton},
    {kBypassButtonId, 50, 21, RawImageKind::kButton},
    {kBypassButtonPressedId, 50, 21, RawImageKind::kButton},
    {kSetupButtonId, 61, 21, RawImageKind::kButton},
    {kSetupButtonPressedId, 61, 21, RawImageKind::kButton},
    {kModeButtonId, 85, 21, RawImageKind::kButton},
    {kModeButtonPressedId, 85, 21, RawImageKind::kButton},
    {kLevelMeterId, 12, 120, RawImageKind::kOpaque},
    {kLevelMeterLitId, 12, 120, RawImageKind::kOpaque},
    {kPhaseMeterId, 154, 12, RawImageKind::kOpaque},
    {kPhaseMeterLitId, 154, 12, RawImageKind::kOpaque},
    {kButton116Id, 116, 21, RawImageKind::kButton},
    {kButton116PressedId, 116, 21, RawImageKind::kButton},
    {kCorrelationMeterId, 160, 10, RawImageKind::kOpaque},
    {kCorrelationMeterLitId, 160, 10, RawImageKind::kOpaque},
};

}  // namespace skin
