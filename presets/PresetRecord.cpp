// PresetRecord text limits, CPresetList storage and the preset name comparison.
#include "presets/PresetRecord.h"

#include <cstring>
#include <new>
#include <utility>

#include "presets/PresetText.h"

namespace {

unsigned char AsciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

void CopyCut(char* out, const char* text) {
    if (!text) text = "";
    const size_t length = strnlen(text, PresetRecord::kTextChars - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

int AsciiCompareNoCase(const char* a, const char* b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        const int diff = AsciiLower(*x) - AsciiLower(*y);
        if (diff != 0 || *x == '\0') return diff;
    }
}

void PresetRecord::SetName(const char* text) {
    CopyCut(name, text);
}

void PresetRecord::SetBank(const char* text) {
    CopyCut(bank, text);
}

bool PresetRecord::SameAs(const PresetRecord& other) const {
    return std::strcmp(name, other.name) == 0 && SameBank(bank, other.bank) && data == other.data;
}

bool PresetRecord::ReplaceData(const char* text) {
    if (!text || !*text) return false;
    try {
        std::string fresh(text);
        data.swap(fresh);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::unique_ptr<PresetRecord> NewPresetRecord(const char* name, const char* bank,
                                              const char* data) {
    if (!data || !*data) return nullptr;
    try {
        auto record = std::make_unique<PresetRecord>();
        record->SetName(NormalisePresetName(name).c_str());
        record->SetBank(NormalisePresetName(bank).c_str());
        record->data = data;
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CPresetList::~CPresetList() {
    delete[] m_items;
}

PresetRecord* CPresetList::At(int32_t index) const {
    return (index >= 0 && index < m_count) ? m_items[index] : nullptr;
}

tw::Result CPresetList::SetAt(int32_t index, PresetRecord* record) {
    if (index < 0 || index == INT32_MAX) return tw::kErrInvalidArg;
    if (index >= m_capacity) {
        PresetRecord** grown = new (std::nothrow) PresetRecord*[index + 1]();
        if (!grown) return tw::kErrOutOfMemory;
        if (m_items) std::memcpy(grown, m_items, sizeof(PresetRecord*) * m_capacity);
        delete[] m_items;
        m_items = grown;
        m_capacity = index + 1;
    }
    m_items[index] = record;
    if (index >= m_count) m_count = index + 1;
    return tw::kOk;
}

bool CPresetList::Remove(const PresetRecord* record) {
    for (int32_t i = 0; i < m_count; ++i) {
        if (m_items[i] != record) continue;
        std::memmove(m_items + i, m_items + i + 1, sizeof(PresetRecord*) * (m_count - i - 1));
        m_items[--m_count] = nullptr;
        return true;
    }
    return false;
}

void CPresetList::Swap(CPresetList& other) {
    std::swap(m_items, other.m_items);
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
}
