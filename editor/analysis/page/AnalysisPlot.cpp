// "tw:AnalysisPlot": the curves and the phase scope of the analysis page.
#include "editor/analysis/page/AnalysisPlot.h"

#include <algorithm>
#include <string>
#include <vector>

#include "editor/analysis/AnalysisView.h"
#include "editor/controls/ControlShared.h"

namespace {

constexpr COLORREF kPlotBackground = RGB(0x16, 0x18, 0x1c);
constexpr COLORREF kGridColour = RGB(0x34, 0x37, 0x3d);
constexpr COLORREF kCorrelationColour = RGB(0x4a, 0x9c, 0xff);
constexpr COLORREF kMonoColour = RGB(0xff, 0x9a, 0x3c);
constexpr COLORREF kCurrentColour = RGB(0xf0, 0xf0, 0xf0);
constexpr COLORREF kTextColour = RGB(0xd8, 0xda, 0xde);
constexpr COLORREF kNoteColour = RGB(0xff, 0xc8, 0x5a);
constexpr COLORREF kScopeColour = RGB(0x7f, 0xdc, 0x7f);
// The curves take the top of the window; three lines of figures sit under them.
constexpr int kFigureLines = 3;
constexpr int kFigureLineHeight = 13;

const AnalysisDisplay* DisplayOf(HWND window) {
    return reinterpret_cast<const AnalysisDisplay*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void FillBox(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    const RECT box = {x0, y0, x1, y1};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

void Line(HDC dc, const std::vector<PlotPoint>& points, int dx, int dy, COLORREF colour,
          int width) {
    if (points.empty()) return;
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    std::vector<POINT> at(points.size());
    for (size_t i = 0; i < points.size(); ++i) at[i] = {points[i].x + dx, points[i].y + dy};
    if (at.size() == 1) at.push_back({at[0].x + 1, at[0].y});
    Polyline(dc, at.data(), static_cast<int>(at.size()));
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void Text(HDC dc, int x, int y, const std::string& text, COLORREF colour) {
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void PaintCurves(HDC dc, int width, int height, const AnalysisDisplay* d) {
    const int plotHeight = height - kFigureLines * kFigureLineHeight - 2;
    FillBox(dc, 0, 0, width, height, kPlotBackground);
    // Grid: every 90 degrees, and correlation 0 across the middle.
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; phase += 90) {
        const int x = AngleX(phase, width);
        FillBox(dc, x, 0, x + 1, plotHeight, kGridColour);
    }
    FillBox(dc, 0, plotHeight / 2, width, plotHeight / 2 + 1, kGridColour);
    FillBox(dc, 0, plotHeight, width, plotHeight + 1, kGridColour);
    if (!d) return;
    HGDIOBJ previousFont = d->font ? SelectObject(dc, d->font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    const int textY = plotHeight + 2;
    if (!d->haveCurves) {
        Text(dc, 4, textY, d->haveSnapshot ? "Gathering the window..." : "Waiting for audio...",
             kTextColour);
    } else {
        const int current = d->snapshot.params[kParamPhase];
        const int cx = AngleX(current, width);
        FillBox(dc, cx, 0, cx + 1, plotHeight, kCurrentColour);
        const CurveLines lines = CurveLinesOf(d->curves, width, plotHeight);
        for (const auto& run : lines.monoLoss) Line(dc, run, 0, 0, kMonoColour, 1);
        for (const auto& run : lines.correlation) Line(dc, run, 0, 0, kCorrelationColour, 1);
        // The best angles: a mark of the curve's colour at the top and bottom edges.
        const struct {
            const Suggestion& s;
            COLORREF colour;
            int y0, y1;
        } marks[] = {{d->mono, kMonoColour, 0, 5},
                     {d->correlation, kCorrelationColour, plotHeight - 5, plotHeight}};
        for (const auto& m : marks) {
            if (!m.s.available) continue;
            const int x = AngleX(m.s.phase, width);
            FillBox(dc, x - 1, m.y0, x + 2, m.y1, m.colour);
        }
        Text(dc, 4, textY, FiguresText("Now", current, d->curves), kCurrentColour);
        if (d->mono.available)
            Text(dc, 4, textY + kFigureLineHeight,
                 FiguresText("Best mono", d->mono.phase, d->curves), kMonoColour);
        else
            Text(dc, 4, textY + kFigureLineHeight, d->note, kNoteColour);
        if (d->correlation.available)
            Text(dc, 4, textY + 2 * kFigureLineHeight,
                 FiguresText("Best corr.", d->correlation.phase, d->curves), kCorrelationColour);
    }
    if (previousFont) SelectObject(dc, previousFont);
}

void PaintScope(HDC dc, int width, int height, const AnalysisDisplay* d) {
    FillBox(dc, 0, 0, width, height, kPlotBackground);
    FillBox(dc, width / 2, 0, width / 2 + 1, height, kGridColour);
    FillBox(dc, 0, height / 2, width, height / 2 + 1, kGridColour);
    if (!d || !d->haveSnapshot) return;
    const int size = std::min(width, height);
    const std::vector<PlotPoint> points =
        ScopePoints(d->snapshot.scope, d->snapshot.scopeFrames, size);
    const int dx = (width - size) / 2, dy = (height - size) / 2;
    for (const PlotPoint& p : points) SetPixelV(dc, p.x + dx, p.y + dy, kScopeColour);
}

LRESULT CALLBACK PlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case APM_SETDISPLAY:
            if (IsSentFromAnotherThread()) return 0;
            SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            {
                COffscreenPaint paint(window, nullptr, dc);
                if (paint.Dc()) {
                    const AnalysisDisplay* d = DisplayOf(window);
                    if (GetWindowLongA(window, GWL_STYLE) & APS_SCOPE)
                        PaintScope(paint.Dc(), paint.Width(), paint.Height(), d);
                    else
                        PaintCurves(paint.Dc(), paint.Width(), paint.Height(), d);
                    paint.Present();
                }
            }
            EndPaint(window, &ps);
            return 0;
        }
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterAnalysisPlotClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kAnalysisPlotClassName, PlotProc);
}
