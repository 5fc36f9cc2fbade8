// Small, locale-independent text helpers for the renderer's command line, its --help and
// automation files.
#pragma once
#include <cstdint>
#include <string>

// Parses a plain decimal number: optional sign, digits, optional point and digits (".5" and
// "5." count), no exponent, no spaces. The result is scaled by 10^fractionDigits and rounded
// half away from zero; `exact` (optional) tells whether no non-zero digit was rounded off.
// False for anything else or when the value does not fit in 64 bits.
bool ParseScaledDecimal(const std::string& text, int fractionDigits, int64_t* value,
                        bool* exact = nullptr);

bool EqualsIgnoreCase(const std::string& text, const char* word);

// Removes leading and trailing spaces and tabs (and a carriage return).
std::string TrimSpace(const std::string& text);

// An entry of --help: "  HEADING  text", the text's lines ('\n' between them) starting in one
// column; a heading too long for that column stands on a line of its own.
std::string HelpEntry(const std::string& heading, const std::string& text);
