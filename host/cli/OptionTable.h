// The renderer's options besides the parameters' own (ParamArguments.h): one row each, with
// the option's name, the argument it takes, how that applies to the line being read and its
// text in --help. Parsing and --help both read this table.
#pragma once
#include <cstddef>
#include <string>

#include "host/cli/RenderOptions.h"

// A command line as its options apply, in the order given.
struct OptionLine {
    RenderOptions options;
    std::string analysisOption;  // the last option given that only --analyze takes, or empty
};

// Applies an option's value (empty for an option that takes none) to the line. False with one
// line that names the option when the value is refused.
using ApplyOption = bool (*)(const std::string& name, const std::string& value, OptionLine* line,
                             std::string* error);

// The help of an option that --help lists on the next row's line ("--a X, --b X"), and of an
// alias it leaves out.
constexpr const char* kListedWithNext = nullptr;
inline constexpr char kUnlisted[] = "";

struct OptionRow {
    const char* name;      // "--block"; null for a heading of --help
    const char* argument;  // its value's name in --help ("FRAMES"); null when it takes none
    ApplyOption apply;     // null for a heading
    // The option's text in --help, lines separated by '\n' (a heading's own text), or
    // kListedWithNext or kUnlisted.
    const char* help;
};

extern const OptionRow kOptionRows[];
extern const size_t kOptionRowCount;

// The row of the option `name` ("--block"), or null.
const OptionRow* FindOption(const std::string& name);

// --help and --version show a text and run nothing, so they win over anything else on the line.
bool ShowsTextOnly(const OptionRow& row);

// The table's part of --help: a line or more for each listed option, under its section's
// heading. `{parameters}` in a text stands for the parameters' words.
std::string OptionsHelp();
