// The parameters on the command line.
#include "host/cli/ParamArguments.h"

#include "engine/ParamDescriptors.h"
#include "host/cli/TextParse.h"

namespace {

std::string OptionOf(const ParamDescriptor& d) {
    return std::string("--") + d.symbol;
}

// A value with `decimals` decimal places: -35 with 1 gives "-3.5".
std::string FixedText(int32_t value, int decimals) {
    const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
    uint32_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::string text = (value < 0 ? "-" : "") + std::to_string(magnitude / scale);
    if (decimals > 0) {
        const std::string fraction = std::to_string(magnitude % scale);
        text += "." + std::string(decimals - fraction.size(), '0') + fraction;
    }
    return text;
}

// The values the option takes: "-180 to 180 degrees", "-36.0 to 6.0 dB, or -inf"; withStep
// adds a step finer than the unit ("in 0.1 dB steps").
std::string RangeText(const ParamDescriptor& d, bool withStep) {
    const int32_t lowest = d.silentSymbol ? d.min + 1 : d.min;
    std::string text = FixedText(lowest, d.decimals) + " to " + FixedText(d.max, d.decimals) + " " +
                       d.unitName;
    if (withStep && d.decimals > 0) text += " in " + FixedText(1, d.decimals) + " " + d.unit + " steps";
    if (d.silentSymbol) text += std::string(", or ") + d.silentSymbol;
    return text;
}

// The choices' words joined by separator, or their names as a list: "lr|ms", "A, B or C".
std::string ChoiceList(const ParamDescriptor& d, const char* separator, bool names) {
    std::string text;
    for (int32_t v = d.min; v <= d.max; ++v) {
        if (v > d.min) text += names ? (v == d.max ? " or " : ", ") : separator;
        text += names ? d.ChoiceOf(v).name : d.ChoiceOf(v).symbol;
    }
    return text;
}

}  // namespace

int ParamOfOption(const std::string& option) {
    for (int param = 0; param < kParamCount; ++param)
        if (option == OptionOf(kParamDescriptors[param])) return param;
    return -1;
}

bool ParseParamArgument(int param, const std::string& text, int32_t* value, std::string* error) {
    const ParamDescriptor& d = kParamDescriptors[param];
    const std::string option = OptionOf(d);
    if (d.HasChoices()) {
        for (int32_t v = d.min; v <= d.max; ++v) {
            if (EqualsIgnoreCase(text, d.ChoiceOf(v).symbol)) {
                *value = v;
                return true;
            }
        }
        *error = option + ": '" + text + "' is not one of " + ChoiceList(d, ", ", false);
        return false;
    }
    if (d.silentSymbol && EqualsIgnoreCase(text, d.silentSymbol)) {
        *value = d.min;
        return true;
    }
    int64_t number = 0;
    bool exact = false;
    if (!ParseScaledDecimal(text, d.decimals, &number, &exact)) {
        *error = option + ": '" + text + "' is not a number";
        if (d.silentSymbol) *error += std::string(" of ") + d.unit + " or " + d.silentSymbol;
        return false;
    }
    if (!exact) {
        *error = option + ": " + text +
                 (d.decimals == 0 ? std::string(" is not a whole number of ") + d.unitName
                                  : " is not a multiple of " + FixedText(1, d.decimals) + " " + d.unit);
        return false;
    }
    const int32_t lowest = d.silentSymbol ? d.min + 1 : d.min;
    if (number < lowest || number > d.max) {
        *error = option + ": " + text + " is out of range (" + RangeText(d, false) + ")";
        return false;
    }
    *value = static_cast<int32_t>(number);
    return true;
}

std::string ParamArgumentText(int param, int32_t value) {
    const ParamDescriptor& d = kParamDescriptors[param];
    if (d.HasChoices())
        return value >= d.min && value <= d.max ? d.ChoiceOf(value).symbol : std::to_string(value);
    if (d.IsSilent(value)) return d.silentSymbol;
    return FixedText(value, d.decimals);
}

std::string ParamSymbolList() {
    std::string text;
    for (const ParamDescriptor& d : kParamDescriptors) text += (text.empty() ? "" : ", ") + std::string(d.symbol);
    return text;
}

std::string ParamOptionsHelp() {
    std::string text;
    for (const ParamDescriptor& d : kParamDescriptors) {
        std::string option = OptionOf(d) + " ";
        if (d.HasChoices()) option += ChoiceList(d, "|", false);
        else option += std::string(d.argument) + (d.silentSymbol ? std::string("|") + d.silentSymbol : "");
        const std::string what = !d.HasChoices() ? std::string(d.description) + ", " + RangeText(d, true)
                                 : d.description ? d.description
                                                 : ChoiceList(d, "", true);
        text += HelpEntry(option, what);
    }
    return text;
}
