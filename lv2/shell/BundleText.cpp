// The bundle's Turtle texts. Every port and preset value comes from the tables, so a parameter
// or a choice added there reaches hosts without an edit here.
#include "lv2/shell/BundleText.h"

#include <cctype>
#include <cstdio>

#include "editor/ValueText.h"
#include "lv2/PortTable.h"
#include "plugin/FactoryPresets.h"

namespace {

constexpr char kPrefixes[] =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

std::string Quoted(const char* text) {
    std::string quoted = "\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') quoted += '\\';
        quoted += *c == '\n' ? ' ' : *c;
    }
    return quoted + "\"";
}

std::string Uri(const std::string& uri) {
    return "<" + uri + ">";
}

// A port value as Turtle writes it: an integer, or a decimal with the parameter's places.
std::string Number(float value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
    return text;
}

std::string ParamNumber(int param, int32_t value) {
    return Number(PortValueOfParam(param, value), kParamDescriptors[param].decimals);
}

// A preset's URI: the stem and its name in lower case, other characters as single dashes.
std::string PresetUri(const char* name) {
    std::string slug;
    for (const char* c = name; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return kPresetUriStem + slug;
}

std::string ScalePoint(const std::string& value, const char* label) {
    return "        lv2:scalePoint [ rdfs:label " + Quoted(label) + " ; rdf:value " + value +
           " ] ;\n";
}

// The lines that make a parameter's port what it is: unit, steps, choices, silence.
std::string ParamLines(int param) {
    const ParamDescriptor& d = kParamDescriptors[param];
    std::string text;
    if (d.description) text += "        rdfs:comment " + Quoted(d.description) + " ;\n";
    if (d.HasChoices()) {
        text += d.automation == ParamAutomation::kBool
                    ? "        lv2:portProperty lv2:integer , lv2:toggled ;\n"
                    : "        lv2:portProperty lv2:integer , lv2:enumeration ;\n";
        for (int32_t v = d.min; v <= d.max; ++v)
            text += ScalePoint(ParamNumber(param, v), d.ChoiceOf(v).name);
        return text;
    }
    if (d.decimals == 0) text += "        lv2:portProperty lv2:integer ;\n";
    else text += "        pprops:rangeSteps " + std::to_string(d.ValueCount()) + " ;\n";
    if (param == kParamPhase) text += "        units:unit units:degree ;\n";
    if (param == kParamWidth) text += "        units:unit units:pc ;\n";
    if (param == kParamOutput) text += "        units:unit units:db ;\n";
    if (d.silentSymbol) text += ScalePoint(ParamNumber(param, d.min), kSilenceText);
    return text;
}

// The lines of the switch and the control outputs.
std::string RoleLines(const PortInfo& port) {
    switch (port.role) {
        case PortRole::kEnabled:
            return "        lv2:designation lv2:enabled ;\n"
                   "        lv2:portProperty lv2:integer , lv2:toggled ;\n";
        case PortRole::kLatency:
            return "        lv2:designation lv2:latency ;\n"
                   "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
                   "        units:unit units:frame ;\n";
        case PortRole::kPhaseMeter:
            return "        lv2:portProperty lv2:integer ;\n        units:unit units:degree ;\n";
        case PortRole::kPeak:
            return "        units:unit units:db ;\n";
        case PortRole::kClip:
            return "        lv2:portProperty lv2:integer , lv2:toggled ;\n";
        default:
            return "";
    }
}

std::string PortText(const PortInfo& port, int index) {
    std::string text = "    [\n        a ";
    text += port.IsInput() ? "lv2:InputPort" : "lv2:OutputPort";
    text += port.IsAudio() ? " , lv2:AudioPort ;\n" : " , lv2:ControlPort ;\n";
    text += "        lv2:index " + std::to_string(index) + " ;\n";
    text += "        lv2:symbol " + Quoted(port.symbol) + " ;\n";
    text += "        lv2:name " + Quoted(port.name) + " ;\n";
    if (!port.IsAudio()) {
        const int decimals = port.role == PortRole::kParam ? kParamDescriptors[port.param].decimals
                                                           : 0;
        text += "        lv2:default " + Number(port.defaultValue, decimals) + " ;\n";
        text += "        lv2:minimum " + Number(port.min, decimals) + " ;\n";
        text += "        lv2:maximum " + Number(port.max, decimals) + " ;\n";
        text += port.role == PortRole::kParam ? ParamLines(port.param) : RoleLines(port);
    }
    // The last statement of a port ends without a semicolon.
    text.erase(text.size() - 3);
    return text + "\n    ]";
}

}  // namespace

std::string ManifestText() {
    std::string text = kPrefixes;
    for (int l = 0; l < kInputLayoutCount; ++l) {
        text += Uri(PluginUriOf(static_cast<InputLayout>(l))) + "\n    a lv2:Plugin ;\n";
        text += "    lv2:binary <" + std::string(kBinaryFileName) + "> ;\n";
        text += "    rdfs:seeAlso <" + std::string(kPluginFileName) + "> .\n\n";
    }
    for (const FactoryPreset& preset : kFactoryPresets) {
        text += Uri(PresetUri(preset.name)) + "\n    a pset:Preset ;\n";
        text += "    lv2:appliesTo " + Uri(PluginUriOf(InputLayout::kStereo)) + " , " +
                Uri(PluginUriOf(InputLayout::kMono)) + " ;\n";
        text += "    rdfs:label " + Quoted(preset.name) + " ;\n";
        text += "    rdfs:seeAlso <" + std::string(kPresetsFileName) + "> .\n\n";
    }
    return text;
}

std::string PluginText() {
    std::string text = kPrefixes;
    for (int l = 0; l < kInputLayoutCount; ++l) {
        const auto layout = static_cast<InputLayout>(l);
        text += Uri(PluginUriOf(layout)) + "\n    a lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n";
        text += "    doap:name " + Quoted(PluginNameOf(layout)) + " ;\n";
        text += "    doap:maintainer [ foaf:name \"Corvane\" ] ;\n";
        text += "    lv2:optionalFeature lv2:hardRTCapable ;\n";
        text += "    lv2:port\n";
        for (int i = 0; i < PortCountOf(layout); ++i)
            text += PortText(PortOf(layout, i), i) + (i + 1 < PortCountOf(layout) ? " ,\n" : " .\n\n");
    }
    return text;
}

std::string PresetsText() {
    std::string text = kPrefixes;
    for (const FactoryPreset& preset : kFactoryPresets) {
        text += Uri(PresetUri(preset.name)) + "\n    a pset:Preset ;\n";
        text += "    lv2:appliesTo " + Uri(PluginUriOf(InputLayout::kStereo)) + " , " +
                Uri(PluginUriOf(InputLayout::kMono)) + " ;\n";
        text += "    rdfs:label " + Quoted(preset.name) + " ;\n    lv2:port";
        for (int param = 0; param < kParamCount; ++param) {
            text += std::string(param ? " ," : "") + "\n        [ lv2:symbol " +
                    Quoted(kParamDescriptors[param].symbol) + " ; pset:value " +
                    ParamNumber(param, preset.values[param]) + " ]";
        }
        text += " .\n\n";
    }
    return text;
}
