// The six parameters on the command line, as "--SYMBOL VALUE": a value read into internal units
// and written back, and the options' lines of --help, all from the parameter descriptors.
#pragma once
#include <cstdint>
#include <string>

// The parameter whose option is `option` ("--phase"), or -1.
int ParamOfOption(const std::string& option);

// Reads a parameter option's VALUE into internal units: a number in the parameter's unit with
// no more decimals than its step, inside the range; the silence word; or a choice's word (in
// any case). Refused, never clamped: false with one line that names the option.
bool ParseParamArgument(int param, const std::string& text, int32_t* value, std::string* error);

// The VALUE that sets `value`: "-3.5", "-inf", "ms"; a choice parameter's value outside its
// range as its number.
std::string ParamArgumentText(int param, int32_t value);

// The parameters' words in index order: "phase, width, ...".
std::string ParamSymbolList();

// The --help lines of the parameter options, one per parameter.
std::string ParamOptionsHelp();
