// An in-memory stand-in for the private-profile functions, and a scripted message hook, for
// testing the preset file procedures natively.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "presets/PresetRecord.h"
#include "presets/PresetStore.h"

// Files by path. Like the platform's reader and writer: section and key names match without
// regard to case, a missing file reads as empty, reads are cut to the limit, an existing key
// is rewritten in place, a new key goes to the end of its section and a new section to the
// end of the file.
class CMemoryIniStore : public IPresetStore {
public:
    struct Key {
        std::string name, value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    using File = std::vector<Section>;

    std::string GetString(const std::string& path, const char* section, const char* key,
                          const char* defaultText, size_t maxChars) override {
        std::string value = defaultText;
        auto file = files_.find(path);
        if (file != files_.end())
            if (const Section* s = Find(file->second, section))
                for (const Key& k : s->keys)
                    if (AsciiCompareNoCase(k.name.c_str(), key) == 0) value = k.value;
        return value.substr(0, maxChars);
    }

    void WriteString(const std::string& path, const char* section, const char* key,
                     const char* value) override {
        File& file = files_[path];
        Section* s = Find(file, section);
        if (!s) {
            file.push_back({section, {}});
            s = &file.back();
        }
        for (Key& k : s->keys)
            if (AsciiCompareNoCase(k.name.c_str(), key) == 0) {
                k.value = value;
                return;
            }
        s->keys.push_back({key, value});
    }

    void DeleteSection(const std::string& path, const char* section) override {
        auto file = files_.find(path);
        if (file == files_.end()) return;
        for (auto it = file->second.begin(); it != file->second.end(); ++it)
            if (AsciiCompareNoCase(it->name.c_str(), section) == 0) {
                file->second.erase(it);
                return;
            }
    }

    bool Exists(const std::string& path) const { return files_.count(path) != 0; }

    // The file as "[Section]" and "key=value" lines, each ending in "\n".
    std::string Text(const std::string& path) const {
        std::string text;
        auto file = files_.find(path);
        if (file == files_.end()) return text;
        for (const Section& s : file->second) {
            text += "[" + s.name + "]\n";
            for (const Key& k : s.keys) text += k.name + "=" + k.value + "\n";
        }
        return text;
    }

    // Replaces the file by the lines of text, in the same form as Text().
    void SetText(const std::string& path, const std::string& text) {
        File file;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                file.push_back({line.substr(1, line.size() - 2), {}});
            } else if (!file.empty() && line.find('=') != std::string::npos) {
                const size_t eq = line.find('=');
                file.back().keys.push_back({line.substr(0, eq), line.substr(eq + 1)});
            }
        }
        files_[path] = file;
    }

private:
    static Section* Find(File& file, const char* name) {
        for (Section& s : file)
            if (AsciiCompareNoCase(s.name.c_str(), name) == 0) return &s;
        return nullptr;
    }
    static const Section* Find(const File& file, const char* name) {
        return Find(const_cast<File&>(file), name);
    }

    std::map<std::string, File> files_;
};

// Records every message; questions are answered from a queue (No once it is empty).
class CScriptedMessages : public IPresetMessages {
public:
    struct Message {
        PresetMessageOwner owner;
        std::string text;
        bool question;
    };

    void ShowError(PresetMessageOwner owner, const std::string& text) override {
        shown.push_back({owner, text, false});
    }
    bool AskYesNo(PresetMessageOwner owner, const std::string& text) override {
        shown.push_back({owner, text, true});
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }

    std::vector<Message> shown;
    std::deque<bool> answers;
};
