// PresetRecord text limits, CPresetList storage and the preset name comparison.
#include "presets/PresetRecord.h"

#include <cstring>
#include <new>
#include <utility>

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

CPresetList::~CPresetList() {
    delete[] items_;
}

PresetRecord* CPresetList::At(int32_t index) const {
    return (index >= 0 && index < count_) ? items_[index] : nullptr;
}

tw::Result CPresetList::SetAt(int32_t index, PresetRecord* record) {
    if (index < 0 || index == INT32_MAX) return tw::kErrInvalidArg;
    if (index >= capacity_) {
        PresetRecord** grown = new (std::nothrow) PresetRecord*[index + 1]();
        if (!grown) return tw::kErrOutOfMemory;
        if (items_) std::memcpy(grown, items_, sizeof(PresetRecord*) * capacity_);
        delete[] items_;
        items_ = grown;
        capacity_ = index + 1;
    }
    items_[index] = record;
    if (index >= count_) count_ = index + 1;
    return tw::kOk;
}

bool CPresetList::Remove(const PresetRecord* record) {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] != record) continue;
        std::memmove(items_ + i, items_ + i + 1, sizeof(PresetRecord*) * (count_ - i - 1));
        items_[--count_] = nullptr;
        return true;
    }
    return false;
}

void CPresetList::Swap(CPresetList& other) {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
}
