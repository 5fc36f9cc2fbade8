// The text, JSON and SVG forms of the phase analysis, and the threshold checks.
#include "host/analyze/AnalysisReport.h"
#include "host/cli/ParamArguments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A figure with its unit: "2.95 dB", "+inf dB", "n/a" when undefined.
std::string FigureText(double value, const char* format, const char* unit) {
    if (std::isnan(value)) return "n/a";
    std::string text = std::isinf(value) ? (value > 0 ? "+inf" : "-inf") : Printf(format, value);
    // A value that rounds to zero is shown without a minus sign.
    if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text = (std::strchr(format, '+') ? "+" : "") + text.substr(1);
    return *unit ? text + " " + unit : text;
}

std::string LossText(double db, bool fine = false) {
    return FigureText(db, fine ? "%.3f" : "%.2f", "dB");
}
std::string CorrelationText(double value, bool fine = false) {
    return FigureText(value, fine ? "%+.4f" : "%+.3f", "");
}
std::string PeakText(double dbfs, bool fine = false) {
    return FigureText(dbfs, fine ? "%.3f" : "%.1f", "dBFS");
}
std::string CrestText(double db, bool fine = false) {
    return FigureText(db, fine ? "%.3f" : "%.1f", "dB");
}

const char* ModeName(Mode mode) {
    return kParamDescriptors[kParamMode].ChoiceOf(ParamValueOf(mode)).name;
}
const char* ModeOption(Mode mode) {
    return kParamDescriptors[kParamMode].ChoiceOf(ParamValueOf(mode)).symbol;
}
const char* FilterName(QuadratureFilter filter) {
    return kParamDescriptors[kParamFilter].ChoiceOf(ParamValueOf(filter)).name;
}
const char* FilterOption(QuadratureFilter filter) {
    return kParamDescriptors[kParamFilter].ChoiceOf(ParamValueOf(filter)).symbol;
}

const char* ObjectiveText(AnalysisObjective objective) {
    switch (objective) {
        case AnalysisObjective::kMonoLoss:
            return "the least mono-sum loss";
        case AnalysisObjective::kCorrelation:
            return "the highest correlation";
        case AnalysisObjective::kPeak:
            return "the lowest sample peak";
        case AnalysisObjective::kCrest:
            return "the lowest crest factor";
    }
    return "";
}

std::string PhaseText(int phase) {
    return phase == 0 ? "0" : Printf("%+.0f", phase);
}

std::string OutputDbText(int32_t tenths) {
    return ParamArgumentText(kParamOutput, tenths);
}

std::string MetricText(AnalysisMetric metric, double value) {
    switch (metric) {
        case AnalysisMetric::kMonoLoss:
            return LossText(value);
        case AnalysisMetric::kCorrelation:
            return CorrelationText(value);
        case AnalysisMetric::kPeak:
            return PeakText(value);
        case AnalysisMetric::kCrest:
            return CrestText(value);
    }
    return "";
}

// What the guarantee of MS phase rests on, in the report's words.
constexpr const char* kMsGuarantee =
    "In MS phase the mono fold-down (L+R)/2 is the mid signal through the reference filter\n"
    "  (Output gain applied): it does not depend on Phase or Width, so no MS setting changes\n"
    "  what a mono listener hears; its mono loss moves only with the output's stereo level.";

// "16-bit PCM" of "16-bit PCM, stereo, 44100 Hz".
std::string SampleTypeText(const AnalysisReportInfo& info) {
    return info.formatText.substr(0, info.formatText.find(','));
}

// The objective's figure in a heading: "mono loss", "correlation", "peak", "crest".
const char* ObjectiveFigure(AnalysisObjective objective) {
    switch (objective) {
        case AnalysisObjective::kMonoLoss:
            return "mono loss";
        case AnalysisObjective::kCorrelation:
            return "correlation";
        case AnalysisObjective::kPeak:
            return "peak";
        case AnalysisObjective::kCrest:
            return "crest";
    }
    return "";
}

// What the user should know about the suggestion: that it clips an integer file, and which
// better angles were left out because they would.
std::vector<std::string> AnalysisWarnings(const PhaseAnalysisResult& r,
                                          const AnalysisReportInfo& info) {
    std::vector<std::string> warnings;
    const std::string type = SampleTypeText(info);
    for (size_t i = 0; i < r.cases.size(); ++i) {
        const AnalysisCase& c = r.cases[i];
        const std::string name = std::string(ModeName(c.mode)) + " " + FilterName(c.filter);
        if (i == r.suggested && c.bestClips)
            warnings.push_back("the suggested setting clips the " + type +
                               " output: its peak would be " +
                               FigureText(c.bestUnclippedPeakDbfs, "%+.1f", "dBFS") +
                               " (every angle evaluated clips); the figures are those of the "
                               "clipped file; a lower --output avoids it");
        if (c.clippingLeftOut > 0)
            warnings.push_back(name + ": " + std::to_string(c.clippingLeftOut) +
                               (c.clippingLeftOut == 1 ? " angle" : " angles") +
                               " better for the objective clip the " + type +
                               " output and are left out (the best of them " +
                               PhaseText(c.bestClippingPhase) + ")");
    }
    return warnings;
}

// JSON ------------------------------------------------------------------------------------

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    return Printf("%.10g", value);
}

// A JSON string of UTF-8 text; bytes that are not UTF-8 (a file name in a Windows code page)
// become U+FFFD.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            const int length = c >= 0xF0 && c < 0xF5   ? 4
                               : c >= 0xE0             ? 3
                               : c >= 0xC2 && c < 0xE0 ? 2
                                                       : 0;
            bool valid = length > 0 && i + length <= n;
            for (int k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (valid) {
                out.append(text, i, length);
                i += length;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
    return out + "\"";
}

std::string JsonFigures(const SignalFigures& f, bool withMidSide) {
    std::string out = "{\"monoLossDb\": " + JsonNumber(f.monoLossDb) +
                      ", \"correlation\": " + JsonNumber(f.correlation) +
                      ", \"peakDbfs\": " + JsonNumber(f.peakDbfs) +
                      ", \"crestDb\": " + JsonNumber(f.crestDb) +
                      ", \"rmsDbfs\": " + JsonNumber(f.rmsDbfs);
    if (withMidSide) out += ", \"midSideDb\": " + JsonNumber(f.midSideDb);
    return out + "}";
}

template <typename Getter>
std::string JsonCurve(const AnalysisCase& c, Getter get) {
    std::string out = "[";
    for (size_t i = 0; i < c.curve.size(); ++i)
        out += (i ? ", " : "") + JsonNumber(get(c.curve[i]));
    return out + "]";
}

// SVG -------------------------------------------------------------------------------------

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                // Control characters are not allowed in XML 1.0 text.
                out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

std::string Coord(double value) {
    return Printf("%.1f", value);
}

// By case: LR then MS phase with the all-pass network and the FIR filter, then the precise
// filter's LR and MS cases.
constexpr const char* kCaseColours[6] = {"#1f77b4", "#ff7f0e", "#2ca02c",
                                         "#d62728", "#9467bd", "#8c564b"};

int CaseIndex(const AnalysisCase& c) {
    const int ms = c.mode == Mode::kMsPhase ? 1 : 0;
    if (c.filter == QuadratureFilter::kPrecise) return 4 + ms;
    return 2 * ms + (c.filter == QuadratureFilter::kFir ? 1 : 0);
}

const char* CaseColour(const AnalysisCase& c) {
    return kCaseColours[CaseIndex(c)];
}

// Each case's line: every later one is narrower than the earlier ones, or dashed, so curves
// that coincide (the flat MS ones, or a filter's curve on another's) still show each colour.
std::string CaseStroke(const AnalysisCase& c) {
    static constexpr const char* kStrokes[6] = {"stroke-width=\"3.2\"",
                                                "stroke-width=\"2.3\"",
                                                "stroke-width=\"1.5\"",
                                                "stroke-width=\"1.5\" stroke-dasharray=\"6 4\"",
                                                "stroke-width=\"1.0\" stroke-dasharray=\"2 3\"",
                                                "stroke-width=\"1.0\" stroke-dasharray=\"1 5\""};
    return std::string(kStrokes[CaseIndex(c)]) + " stroke=\"" + CaseColour(c) + "\"";
}

// A tick's value; zero unsigned ("0.0", not "+0.0").
std::string TickText(const char* format, double value) {
    std::string text = Printf(format, value);
    if ((text[0] == '+' || text[0] == '-') && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

// The angles' room inside a panel's frame, on each side: lines at -180 and 180 stay inside it.
constexpr double kPanelInset = 6.0;

struct Panel {
    double x, y, width, height;  // the plotting area
    double low, high;            // the value range, bottom to top
    double X(int phase) const {
        return x + kPanelInset +
               (width - 2 * kPanelInset) * (phase - kAnalysisMinPhase) /
                   (kAnalysisMaxPhase - kAnalysisMinPhase);
    }
    double Y(double value) const {
        const double clamped = std::max(low, std::min(high, value));
        return y + height * (high - clamped) / (high - low);
    }
};

std::string PanelFrame(const Panel& p, const std::string& title, double tickStep,
                       const char* tickFormat) {
    std::string out = "<g font-size=\"11\" fill=\"#333\">\n";
    out += "<text x=\"" + Coord(p.x) + "\" y=\"" + Coord(p.y - 8) + "\" font-size=\"13\">" +
           XmlText(title) + "</text>\n";
    out += "<rect x=\"" + Coord(p.x) + "\" y=\"" + Coord(p.y) + "\" width=\"" + Coord(p.width) +
           "\" height=\"" + Coord(p.height) + "\" fill=\"#fafafa\" stroke=\"#999\"/>\n";
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; phase += 45) {
        out += "<line x1=\"" + Coord(p.X(phase)) + "\" y1=\"" + Coord(p.y) + "\" x2=\"" +
               Coord(p.X(phase)) + "\" y2=\"" + Coord(p.y + p.height) + "\" stroke=\"#ddd\"/>\n";
        out += "<text x=\"" + Coord(p.X(phase)) + "\" y=\"" + Coord(p.y + p.height + 14) +
               "\" text-anchor=\"middle\">" + std::to_string(phase) + "</text>\n";
    }
    const int ticks = static_cast<int>(std::floor((p.high - p.low) / tickStep + 1e-9));
    for (int k = 0; k <= ticks; ++k) {
        const double value = p.low + k * tickStep;
        out += "<line x1=\"" + Coord(p.x) + "\" y1=\"" + Coord(p.Y(value)) + "\" x2=\"" +
               Coord(p.x + p.width) + "\" y2=\"" + Coord(p.Y(value)) + "\" stroke=\"#eee\"/>\n";
        out += "<text x=\"" + Coord(p.x - 6) + "\" y=\"" + Coord(p.Y(value) + 4) +
               "\" text-anchor=\"end\">" + TickText(tickFormat, value) + "</text>\n";
    }
    return out + "</g>\n";
}

std::string DashedLine(double x1, double y1, double x2, double y2) {
    return "<line x1=\"" + Coord(x1) + "\" y1=\"" + Coord(y1) + "\" x2=\"" + Coord(x2) +
           "\" y2=\"" + Coord(y2) + "\" stroke=\"#000\" stroke-dasharray=\"4 3\"/>\n";
}

std::string SuggestedLine(const Panel& p, int phase) {
    return DashedLine(p.X(phase), p.y, p.X(phase), p.y + p.height);
}

std::string Dot(double x, double y, const char* colour) {
    return "<circle cx=\"" + Coord(x) + "\" cy=\"" + Coord(y) + "\" r=\"1.8\" fill=\"" + colour +
           "\"/>\n";
}

std::string Ring(double x, double y, const char* colour) {
    return "<circle cx=\"" + Coord(x) + "\" cy=\"" + Coord(y) +
           "\" r=\"4.5\" fill=\"none\" stroke-width=\"2\" stroke=\"" + colour + "\"/>\n";
}

// One case's curve: a polyline per run of defined values (infinite ones pinned to the edge).
template <typename Getter>
std::string CurvePath(const Panel& p, const AnalysisCase& c, Getter get) {
    std::string out, points;
    auto flush = [&]() {
        if (!points.empty())
            out += "<polyline fill=\"none\" " + CaseStroke(c) + " points=\"" + points + "\"/>\n";
        points.clear();
    };
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const double value = get(c.curve[phase - kAnalysisMinPhase]);
        if (std::isnan(value)) {
            flush();
            continue;
        }
        points += (points.empty() ? "" : " ") + Coord(p.X(phase)) + "," + Coord(p.Y(value));
    }
    flush();
    return out;
}

// Dots at the angles whose value is known (the peak search's), for a sparse curve.
template <typename Getter>
std::string CurveDots(const Panel& p, const AnalysisCase& c, Getter get) {
    std::string out;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const double value = get(c.curve[phase - kAnalysisMinPhase]);
        if (!std::isnan(value)) out += Dot(p.X(phase), p.Y(value), CaseColour(c));
    }
    return out;
}

std::string Marker(const Panel& p, const AnalysisCase& c, double value) {
    return Ring(p.X(c.bestPhase), p.Y(value), CaseColour(c));
}

// A goniometer: mid (L+R) up, side (L-R) across, so mono is a vertical line, one channel
// alone a diagonal and a polarity-inverted pair a horizontal line.
std::string Scope(double x, double y, double size, const std::vector<double>& left,
                  const std::vector<double>& right, double scale, const std::string& title) {
    std::string out = "<g font-size=\"11\" fill=\"#333\">\n";
    out += "<text x=\"" + Coord(x) + "\" y=\"" + Coord(y - 8) + "\" font-size=\"13\">" +
           XmlText(title) + "</text>\n";
    out += "<rect x=\"" + Coord(x) + "\" y=\"" + Coord(y) + "\" width=\"" + Coord(size) +
           "\" height=\"" + Coord(size) + "\" fill=\"#111\"/>\n";
    const double cx = x + size / 2, cy = y + size / 2;
    out += "<line x1=\"" + Coord(cx) + "\" y1=\"" + Coord(y) + "\" x2=\"" + Coord(cx) + "\" y2=\"" +
           Coord(y + size) + "\" stroke=\"#444\"/>\n";
    out += "<line x1=\"" + Coord(x) + "\" y1=\"" + Coord(cy) + "\" x2=\"" + Coord(x + size) +
           "\" y2=\"" + Coord(cy) + "\" stroke=\"#444\"/>\n";
    out += "<text x=\"" + Coord(cx + 4) + "\" y=\"" + Coord(y + 12) + "\" fill=\"#aaa\">M</text>\n";
    out += "<text x=\"" + Coord(x + size - 12) + "\" y=\"" + Coord(cy - 4) +
           "\" fill=\"#aaa\">S</text>\n";
    std::string path;
    const double half = size / 2 - 4;
    for (size_t k = 0; k < left.size() && k < right.size(); ++k) {
        const double side = (left[k] - right[k]) / std::sqrt(2.0) / scale;
        const double mid = (left[k] + right[k]) / std::sqrt(2.0) / scale;
        if (!std::isfinite(side) || !std::isfinite(mid)) continue;
        path += "M" + Coord(cx + half * std::max(-1.0, std::min(1.0, side))) + " " +
                Coord(cy - half * std::max(-1.0, std::min(1.0, mid))) + "h0";
    }
    if (!path.empty())
        out += "<path d=\"" + path +
               "\" stroke=\"#7fdc7f\" stroke-width=\"1.6\" stroke-linecap=\"round\"/>\n";
    return out + "</g>\n";
}

double ScopeScale(const PhaseAnalysisResult& r) {
    double largest = 0.0;
    for (const std::vector<double>* points :
         {&r.inputScope[0], &r.inputScope[1], &r.outputScope[0], &r.outputScope[1]})
        for (double value : *points)
            if (std::isfinite(value)) largest = std::max(largest, std::fabs(value));
    return largest > 0.0 ? largest * std::sqrt(2.0) : 1.0;
}

}  // namespace

std::string SuggestedOptions(const PhaseAnalysisResult& result) {
    const AnalysisCase& c = result.cases[result.suggested];
    return std::string("--mode ") + ModeOption(c.mode) + " --filter " + FilterOption(c.filter) +
           " --phase " + std::to_string(c.bestPhase) + " --width " +
           std::to_string(result.settings.width) + " --output " +
           OutputDbText(result.settings.output);
}

namespace {

// The text report's first block: the input's figures.
std::string InputSectionText(const PhaseAnalysisResult& r, const AnalysisReportInfo& info) {
    const SignalFigures& in = r.input;
    const double seconds = info.sampleRate ? double(r.frames) / info.sampleRate : 0.0;
    std::string out = "phase analysis of " + info.inputName + "\n";
    out += "  input         " + info.formatText + ", " + std::to_string(r.frames) + " frames (" +
           Printf("%.2f", seconds) + " s)\n";
    out += "  correlation   " + CorrelationText(in.correlation) + "\n";
    out += "  mid/side      " + FigureText(in.midSideDb, "%+.1f", "dB") + "\n";
    out += "  mono loss     " + LossText(in.monoLossDb) + "\n";
    out +=
        "  peak          " + PeakText(in.peakDbfs) + " (crest " + CrestText(in.crestDb) + ")\n\n";
    return out;
}

constexpr const char* kCaseRow = "  %-8s  %-7s  %5s  %9s  %11s  %10s  %8s  %10s  %s";

// One case's row of the table: its best angle's figures and the change against Phase 0.
std::string CaseRowText(const PhaseAnalysisResult& r, size_t i) {
    const AnalysisCase& c = r.cases[i];
    const AnalysisMetric metric = static_cast<AnalysisMetric>(r.settings.objective);
    // What the best angle changes against leaving Phase at 0, in the objective's figure,
    // before any clipping (the curve's figures).
    const double change = MetricValue(metric, c.curve[c.bestPhase - kAnalysisMinPhase]) -
                          MetricValue(metric, c.curve[-kAnalysisMinPhase]);
    const std::string changeText = c.bestPhase == 0 ? "-"
                                   : metric == AnalysisMetric::kCorrelation
                                       ? FigureText(change, "%+.3f", "")
                                       : FigureText(change, "%+.3f", "dB");
    char line[200];
    std::snprintf(line, sizeof line, kCaseRow, ModeName(c.mode), FilterName(c.filter),
                  PhaseText(c.bestPhase).c_str(), LossText(c.best.monoLossDb).c_str(),
                  CorrelationText(c.best.correlation).c_str(), PeakText(c.best.peakDbfs).c_str(),
                  CrestText(c.best.crestDb).c_str(), changeText.c_str(),
                  i == r.suggested ? (c.bestClips ? "<- suggested, clips" : "<- suggested")
                                   : (c.bestClips ? "clips" : ""));
    std::string text = line;
    text.erase(text.find_last_not_of(" \n") + 1);
    return text + "\n";
}

// The table of the cases with its notes, the suggestion and the warnings.
std::string CasesSectionText(const PhaseAnalysisResult& r, const AnalysisReportInfo& info) {
    std::string out = std::string("best phase for ") + ObjectiveText(r.settings.objective) +
                      " (--objective " + AnalysisObjectiveName(r.settings.objective) + "), width " +
                      std::to_string(r.settings.width) + " %, output " +
                      OutputDbText(r.settings.output) + " dB:\n";
    char heading[200];
    std::snprintf(heading, sizeof heading, kCaseRow, "mode", "filter", "phase", "mono loss",
                  "correlation", "peak", "crest", "vs phase 0", "");
    out += std::string(heading).erase(std::string(heading).find_last_not_of(' ') + 1) + "\n";
    bool anyMs = false, anyClips = false;
    double msSpread = 0.0;
    for (size_t i = 0; i < r.cases.size(); ++i) {
        const AnalysisCase& c = r.cases[i];
        out += CaseRowText(r, i);
        if (c.mode == Mode::kMsPhase) {
            anyMs = true;
            msSpread = std::max(msSpread, c.foldDownSpread);
        }
        anyClips |= c.bestClips;
    }
    out += std::string("  vs phase 0: the change in ") + ObjectiveFigure(r.settings.objective) +
           " from Phase 0 to the best angle, in the same mode and filter.\n";
    if (anyClips)
        out += "  clips: every angle evaluated goes beyond full scale, which the " +
               SampleTypeText(info) +
               " output\n  clips; the figures are those of the clipped file.\n";
    out += "  ";
    out += kMsGuarantee;
    out += "\n";
    if (anyMs)
        out += "  Here the fold-down's level varies by " + LossText(msSpread, true) +
               " over the " + std::to_string(kAnalysisAngleCount) + " angles.\n";
    out += "\nsuggested: " + SuggestedOptions(r) + "\n";
    for (const std::string& warning : AnalysisWarnings(r, info))
        out += "warning: " + warning + "\n";
    return out;
}

// The render at the suggested setting against the analysis's figures.
std::string RenderSectionText(const PhaseAnalysisResult& r, const RenderCheck& render) {
    if (!render.done) return "";
    const SignalFigures& a = r.cases[r.suggested].best;
    const SignalFigures& m = render.figures;
    std::string out = "\nrendered through the plug-in at the suggested setting (no audio kept):\n";
    out += "  mono loss     " + LossText(m.monoLossDb, true) + "  (analysis " +
           LossText(a.monoLossDb, true) + ")\n";
    out += "  correlation   " + CorrelationText(m.correlation, true) + "  (analysis " +
           CorrelationText(a.correlation, true) + ")\n";
    out += "  peak          " + PeakText(m.peakDbfs, true) + "  (analysis " +
           PeakText(a.peakDbfs, true) + ")\n";
    out += "  crest         " + CrestText(m.crestDb, true) + "  (analysis " +
           CrestText(a.crestDb, true) + ")\n";
    out += render.agrees ? "  the render agrees with the analysis\n"
                         : "  the render DIFFERS from the analysis: " + render.differences + "\n";
    return out;
}

// The --fail-above and --fail-below checks of the input.
std::string ChecksSectionText(const std::vector<ThresholdResult>& checks) {
    if (checks.empty()) return "";
    std::string out = "\nchecks of the input:\n";
    for (const ThresholdResult& c : checks) {
        const AnalysisMetric metric = c.threshold.metric;
        out += std::string("  ") + AnalysisMetricName(metric) + " " + MetricText(metric, c.value) +
               (c.threshold.above ? ", limit above " : ", limit below ") +
               Printf("%g", c.threshold.limit) + ": " + (c.failed ? "FAILED" : "passed") + "\n";
    }
    return out;
}

}  // namespace

std::string AnalysisText(const PhaseAnalysisResult& r, const AnalysisReportInfo& info,
                         const RenderCheck& render, const std::vector<ThresholdResult>& checks) {
    return InputSectionText(r, info) + CasesSectionText(r, info) + RenderSectionText(r, render) +
           ChecksSectionText(checks);
}

std::string AnalysisJson(const PhaseAnalysisResult& r, const AnalysisReportInfo& info,
                         const RenderCheck& render, const std::vector<ThresholdResult>& checks) {
    std::string out = "{\n";
    out += "  \"file\": " + JsonString(info.inputName) + ",\n";
    out += "  \"format\": " + JsonString(info.formatText) + ",\n";
    out += "  \"sampleRate\": " + std::to_string(info.sampleRate) + ",\n";
    out += "  \"frames\": " + std::to_string(r.frames) + ",\n";
    out += "  \"objective\": " + JsonString(AnalysisObjectiveName(r.settings.objective)) + ",\n";
    out += "  \"width\": " + std::to_string(r.settings.width) + ",\n";
    out += "  \"outputDb\": " +
           (r.settings.output <= kOutputSilence ? std::string("null")
                                                : JsonNumber(r.settings.output / 10.0)) +
           ",\n";
    out += "  \"input\": " + JsonFigures(r.input, true) + ",\n";
    out +=
        std::string("  \"clipsAtFullScale\": ") + (r.clipsAtFullScale ? "true" : "false") + ",\n";
    out += "  \"msPhaseMonoIndependentOfPhaseAndWidth\": true,\n";
    out += "  \"cases\": [\n";
    for (size_t i = 0; i < r.cases.size(); ++i) {
        const AnalysisCase& c = r.cases[i];
        out += "    {\"mode\": " + JsonString(ModeOption(c.mode)) +
               ", \"filter\": " + JsonString(FilterOption(c.filter)) +
               ", \"latencyFrames\": " + std::to_string(c.latencyFrames) +
               ", \"bestPhase\": " + std::to_string(c.bestPhase) +
               ", \"atBest\": " + JsonFigures(c.best, false) +
               ", \"atPhase0\": " + JsonFigures(c.curve[-kAnalysisMinPhase], false) +
               ", \"foldDownSpreadDb\": " + JsonNumber(c.foldDownSpread) +
               ", \"bestClips\": " + (c.bestClips ? "true" : "false") +
               ", \"clippingLeftOut\": " + std::to_string(c.clippingLeftOut) +
               ", \"peakEvaluations\": " + std::to_string(c.peakEvaluations) + ",\n";
        out += "     \"curve\": {\"firstPhase\": " + std::to_string(kAnalysisMinPhase) +
               ", \"stepDegrees\": 1,\n";
        out += "       \"monoLossDb\": " +
               JsonCurve(c, [](const SignalFigures& f) { return f.monoLossDb; }) + ",\n";
        out += "       \"correlation\": " +
               JsonCurve(c, [](const SignalFigures& f) { return f.correlation; }) + ",\n";
        out += "       \"rmsDbfs\": " +
               JsonCurve(c, [](const SignalFigures& f) { return f.rmsDbfs; }) + ",\n";
        out += "       \"peakDbfs\": " +
               JsonCurve(c, [](const SignalFigures& f) { return f.peakDbfs; }) + "}}" +
               (i + 1 < r.cases.size() ? ",\n" : "\n");
    }
    out += "  ],\n";
    const AnalysisCase& s = r.cases[r.suggested];
    out += "  \"suggested\": {\"mode\": " + JsonString(ModeOption(s.mode)) +
           ", \"filter\": " + JsonString(FilterOption(s.filter)) +
           ", \"phase\": " + std::to_string(s.bestPhase) +
           ", \"options\": " + JsonString(SuggestedOptions(r)) +
           ", \"clips\": " + (s.bestClips ? "true" : "false") + "},\n";
    out += "  \"warnings\": [";
    const std::vector<std::string> warnings = AnalysisWarnings(r, info);
    for (size_t i = 0; i < warnings.size(); ++i) out += (i ? ", " : "") + JsonString(warnings[i]);
    out += "],\n";
    if (render.done)
        out += "  \"render\": {\"frames\": " +
               std::to_string(static_cast<uint64_t>(render.measured.frames)) +
               ", \"measured\": " + JsonFigures(render.figures, false) +
               ", \"analysis\": " + JsonFigures(s.best, false) +
               ", \"agrees\": " + (render.agrees ? "true" : "false") + "},\n";
    else
        out += "  \"render\": null,\n";
    out += "  \"checks\": [";
    bool passed = true;
    for (size_t i = 0; i < checks.size(); ++i) {
        const ThresholdResult& c = checks[i];
        passed &= !c.failed;
        out += std::string(i ? ", " : "") +
               "{\"metric\": " + JsonString(AnalysisMetricName(c.threshold.metric)) + ", \"" +
               (c.threshold.above ? "above" : "below") + "\": " + JsonNumber(c.threshold.limit) +
               ", \"value\": " + JsonNumber(c.value) +
               ", \"failed\": " + (c.failed ? "true" : "false") + "}";
    }
    out += "],\n";
    out += std::string("  \"passed\": ") + (passed ? "true" : "false") + "\n}\n";
    return out;
}

namespace {

// The plot's layout, in pixels.
constexpr double kSvgLeft = 70, kSvgTop = 90, kSvgWidth = 820, kSvgPanelHeight = 170, kSvgGap = 60;
constexpr double kSvgScopeSize = 240;

// The figure of the third panel: the crest factor or the sample peak.
double PeakPanelFigure(const SignalFigures& f, bool crest) {
    return crest ? f.crestDb : f.peakDbfs;
}

// The panels: mono loss, correlation and, for the peak objectives, the peak or crest factor.
std::vector<Panel> SvgPanels(const PhaseAnalysisResult& r, bool peakPanel, bool crest) {
    // Mono loss from 0 to the largest finite value, in 3 dB steps, at most 60 dB.
    double lossTop = 3.0;
    for (const AnalysisCase& c : r.cases)
        for (const SignalFigures& f : c.curve)
            if (std::isfinite(f.monoLossDb)) lossTop = std::max(lossTop, f.monoLossDb);
    lossTop = std::min(60.0, 3.0 * std::ceil(lossTop / 3.0 - 1e-9));
    std::vector<Panel> panels;
    panels.push_back({kSvgLeft, kSvgTop, kSvgWidth, kSvgPanelHeight, 0.0, lossTop});
    panels.push_back(
        {kSvgLeft, kSvgTop + kSvgPanelHeight + kSvgGap, kSvgWidth, kSvgPanelHeight, -1.0, 1.0});
    if (peakPanel) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const AnalysisCase& c : r.cases)
            for (const SignalFigures& f : c.curve)
                if (std::isfinite(PeakPanelFigure(f, crest))) {
                    low = std::min(low, PeakPanelFigure(f, crest));
                    high = std::max(high, PeakPanelFigure(f, crest));
                }
        if (!(low <= high)) low = high = 0.0;
        low = std::floor(low - 0.5), high = std::ceil(high + 0.5);
        panels.push_back({kSvgLeft, kSvgTop + 2 * (kSvgPanelHeight + kSvgGap), kSvgWidth,
                          kSvgPanelHeight, low, high});
    }
    return panels;
}

// The panels' frames and curves, each case's best angle on the objective's panel and the
// suggestion across all panels.
std::string SvgCurves(const PhaseAnalysisResult& r, const std::vector<Panel>& panels,
                      bool peakPanel, bool crest) {
    std::string out = PanelFrame(panels[0], "mono-sum loss (dB) against the phase angle (degrees)",
                                 panels[0].high > 24 ? 6.0 : 3.0, "%.0f");
    out += PanelFrame(panels[1], "correlation of the output", 0.5, "%+.1f");
    for (const AnalysisCase& c : r.cases) {
        out += CurvePath(panels[0], c, [](const SignalFigures& f) { return f.monoLossDb; });
        out += CurvePath(panels[1], c, [](const SignalFigures& f) { return f.correlation; });
    }
    auto peakOf = [crest](const SignalFigures& f) { return PeakPanelFigure(f, crest); };
    if (peakPanel) {
        out += PanelFrame(panels[2],
                          crest ? "crest factor (dB) where the search evaluated it"
                                : "sample peak (dBFS) where the search evaluated it",
                          std::max(1.0, std::ceil((panels[2].high - panels[2].low) / 6.0)), "%.0f");
        for (const AnalysisCase& c : r.cases) out += CurveDots(panels[2], c, peakOf);
    }
    for (const AnalysisCase& c : r.cases) {
        switch (r.settings.objective) {
            case AnalysisObjective::kMonoLoss:
                out += Marker(panels[0], c, c.best.monoLossDb);
                break;
            case AnalysisObjective::kCorrelation:
                out += Marker(panels[1], c, c.best.correlation);
                break;
            case AnalysisObjective::kPeak:
            case AnalysisObjective::kCrest:
                out += Marker(panels[2], c, peakOf(c.best));
                break;
        }
    }
    for (const Panel& p : panels) out += SuggestedLine(p, r.cases[r.suggested].bestPhase);
    return out;
}

// The legend's cases, a row of four at a time.
constexpr size_t kLegendColumns = 4;
constexpr double kLegendRowHeight = 18;

size_t LegendRows(const PhaseAnalysisResult& r) {
    return std::max<size_t>(1, (r.cases.size() + kLegendColumns - 1) / kLegendColumns);
}

// The legend at the foot of a plot of that height: each case's line, then what the marks are.
std::string SvgLegend(const PhaseAnalysisResult& r, double height, bool peakPanel, bool crest) {
    std::string out;
    const size_t rows = LegendRows(r);
    for (size_t i = 0; i < r.cases.size(); ++i) {
        const AnalysisCase& c = r.cases[i];
        const double legendX = kSvgLeft + 200.0 * static_cast<double>(i % kLegendColumns);
        const double legendY =
            height - 36 - kLegendRowHeight * static_cast<double>(rows - 1 - i / kLegendColumns);
        const std::string label = std::string(ModeName(c.mode)) + ", " + FilterName(c.filter) +
                                  " (best " + std::to_string(c.bestPhase) + ")";
        out += "<line x1=\"" + Coord(legendX) + "\" y1=\"" + Coord(legendY - 7) + "\" x2=\"" +
               Coord(legendX + 16) + "\" y2=\"" + Coord(legendY - 7) + "\" " + CaseStroke(c) +
               "/>\n";
        out += "<text x=\"" + Coord(legendX + 20) + "\" y=\"" + Coord(legendY - 3) +
               "\" font-size=\"12\">" + XmlText(label) + "</text>\n";
    }
    const double marksY = height - 14;
    auto markLabel = [&](double x, const std::string& label) {
        out += "<text x=\"" + Coord(x) + "\" y=\"" + Coord(marksY + 4) + "\" font-size=\"12\">" +
               XmlText(label) + "</text>\n";
    };
    double markX = kSvgLeft;
    out += Ring(markX + 6, marksY, "#555");
    markLabel(markX + 16, "each one's best angle");
    markX += 190;
    out += DashedLine(markX, marksY, markX + 16, marksY);
    markLabel(markX + 22, "the suggested angle");
    markX += 190;
    if (peakPanel) {
        out += Dot(markX + 6, marksY, "#555");
        markLabel(markX + 16, std::string(crest ? "crest factor" : "peak") +
                                  " at an angle the search evaluated (no others are computed)");
    }
    return out;
}

// The input's and the suggestion's phase scopes, and their key figures beside them.
std::string SvgScopes(const PhaseAnalysisResult& r, double scopeTop) {
    const AnalysisCase& chosen = r.cases[r.suggested];
    const double scale = ScopeScale(r);
    std::string out = Scope(kSvgLeft, scopeTop, kSvgScopeSize, r.inputScope[0], r.inputScope[1],
                            scale, "phase scope: input");
    out += Scope(kSvgLeft + kSvgScopeSize + 80, scopeTop, kSvgScopeSize, r.outputScope[0],
                 r.outputScope[1], scale,
                 std::string("phase scope: ") + ModeName(chosen.mode) + ", " +
                     FilterName(chosen.filter) + ", phase " + PhaseText(chosen.bestPhase));
    const double textX = kSvgLeft + 2 * (kSvgScopeSize + 80) - 20;
    const struct {
        const char* label;
        const SignalFigures& f;
    } columns[] = {{"input", r.input}, {"suggested", chosen.best}};
    double textY = scopeTop + 14;
    for (const auto& column : columns) {
        const std::string lines[] = {
            column.label,
            "correlation " + CorrelationText(column.f.correlation),
            "mono loss " + LossText(column.f.monoLossDb),
            "peak " + PeakText(column.f.peakDbfs),
            "crest " + CrestText(column.f.crestDb),
        };
        for (size_t k = 0; k < std::size(lines); ++k) {
            out += "<text x=\"" + Coord(textX + (k ? 10 : 0)) + "\" y=\"" + Coord(textY) +
                   "\" font-size=\"12\"" + (k ? "" : " font-weight=\"bold\"") + ">" +
                   XmlText(lines[k]) + "</text>\n";
            textY += 17;
        }
        textY += 12;
    }
    return out;
}

}  // namespace

std::string AnalysisSvg(const PhaseAnalysisResult& r, const AnalysisReportInfo& info) {
    const bool peakPanel = r.settings.objective == AnalysisObjective::kPeak ||
                           r.settings.objective == AnalysisObjective::kCrest;
    const bool crest = r.settings.objective == AnalysisObjective::kCrest;
    const std::vector<Panel> panels = SvgPanels(r, peakPanel, crest);
    const double scopeTop = panels.back().y + kSvgPanelHeight + kSvgGap;
    const double height =
        scopeTop + kSvgScopeSize + 90 + kLegendRowHeight * static_cast<double>(LegendRows(r) - 1);

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"960\" height=\"" + Coord(height) +
           "\" viewBox=\"0 0 960 " + Coord(height) + "\" font-family=\"sans-serif\">\n";
    out += "<rect width=\"960\" height=\"" + Coord(height) + "\" fill=\"#fff\"/>\n";
    out += "<text x=\"" + Coord(kSvgLeft) + "\" y=\"28\" font-size=\"16\">" +
           XmlText("tw:Phase analysis of " + info.inputName) + "</text>\n";
    out += "<text x=\"" + Coord(kSvgLeft) + "\" y=\"46\" font-size=\"12\" fill=\"#555\">" +
           XmlText(std::string("objective: ") + ObjectiveText(r.settings.objective) +
                   "; suggested: " + SuggestedOptions(r)) +
           "</text>\n";
    out += SvgCurves(r, panels, peakPanel, crest);
    out += SvgLegend(r, height, peakPanel, crest);
    out += SvgScopes(r, scopeTop);
    return out + "</svg>\n";
}
