// The parameter text built from a parameter-info record.
#include "automation/ParamInfoTable.h"

// Length of a fixed-size text field, which need not hold a terminator.
static size_t FieldLength(const char16_t* text) {
    size_t n = 0;
    while (n < tw::kParamTextChars && text[n] != 0) ++n;
    return n;
}

static size_t TextLength(const char16_t* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

size_t ParamTextChars(const ParamInfoRecord& record) {
    size_t chars = FieldLength(record.info.szLabel) + FieldLength(record.info.szUnitText) + 3;
    if (record.enumText) chars += TextLength(record.enumText) + 1;
    return chars;
}

static char16_t* CopyField(char16_t* dest, const char16_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) *dest++ = text[i];
    *dest++ = 0;
    return dest;
}

void WriteParamText(const ParamInfoRecord& record, char16_t* dest) {
    dest = CopyField(dest, record.info.szLabel, FieldLength(record.info.szLabel));
    dest = CopyField(dest, record.info.szUnitText, FieldLength(record.info.szUnitText));
    if (record.enumText) {
        // The enumeration's values become a list of NUL-terminated texts.
        const size_t length = TextLength(record.enumText);
        for (size_t i = 0; i < length; ++i)
            *dest++ = record.enumText[i] == u',' ? char16_t(0) : record.enumText[i];
        *dest++ = 0;
    }
    *dest = 0;
}
