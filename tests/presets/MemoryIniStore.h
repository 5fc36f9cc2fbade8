// An in-memory stand-in for the private-profile functions, and a scripted message hook, for
// testing the preset file procedures natively.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "presets/PresetRecord.h"
#include "presets/PresetStore.h"

// Files by path. Like the platform's reader and writer: section and key names match without
// regard to case, a missing file reads as empty, reads are cut to the limit, an existing key
// is rewritten in place, a new key goes to the end of its section and a new section to the
// end of the file. Failures can be arranged: read-only files, a folder where no temporary
// file can be made, and a disk that fills after a number of writes.
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
                    if (AsciiCompareNoCase(k.name.c_str(), key) == 0) {
                        value = k.value;  // the first of repeated keys, as the platform reads
                        break;
                    }
        return value.substr(0, maxChars);
    }

    bool WriteString(const std::string& path, const char* section, const char* key,
                     const char* value) override {
        if (!Writable(path)) return false;
        File& file = files_[path];
        Section* s = Find(file, section);
        if (!s) {
            file.push_back({section, {}});
            s = &file.back();
        }
        for (Key& k : s->keys)
            if (AsciiCompareNoCase(k.name.c_str(), key) == 0) {
                k.value = value;
                return true;
            }
        s->keys.push_back({key, value});
        return true;
    }

    bool DeleteSection(const std::string& path, const char* section) override {
        if (!Writable(path)) return false;
        auto file = files_.find(path);
        if (file == files_.end()) return true;
        for (auto it = file->second.begin(); it != file->second.end(); ++it)
            if (AsciiCompareNoCase(it->name.c_str(), section) == 0) {
                file->second.erase(it);
                break;
            }
        return true;
    }

    PresetFileStamp Stamp(const std::string& path) override {
        PresetFileStamp stamp;
        if (!Exists(path)) return stamp;
        const std::string text = Text(path);
        stamp.exists = true;
        stamp.size = text.size();
        stamp.hash = std::hash<std::string>()(text);
        return stamp;
    }

    std::string CreateTempCopy(const std::string& path) override {
        if (noTempFiles) return {};
        const std::string temp = path + ".tmp" + std::to_string(++tempCount_);
        files_[temp] = Exists(path) ? files_[path] : File();
        return temp;
    }

    bool MoveReplacing(const std::string& from, const std::string& to) override {
        if (!Exists(from) || readOnly.count(to)) return false;
        files_[to] = files_[from];
        files_.erase(from);
        return true;
    }

    bool RemoveFile(const std::string& path) override { return files_.erase(path) != 0; }

    bool Exists(const std::string& path) const { return files_.count(path) != 0; }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const auto& file : files_) paths.push_back(file.first);
        return paths;
    }

    std::set<std::string> readOnly;  // writes to these paths fail
    bool noTempFiles = false;        // no temporary file can be made
    int writesLeft = -1;             // writes that succeed before the disk is full; -1: all

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
    bool Writable(const std::string& path) {
        if (readOnly.count(path) || writesLeft == 0) return false;
        if (writesLeft > 0) --writesLeft;
        return true;
    }
    static Section* Find(File& file, const char* name) {
        for (Section& s : file)
            if (AsciiCompareNoCase(s.name.c_str(), name) == 0) return &s;
        return nullptr;
    }
    static const Section* Find(const File& file, const char* name) {
        return Find(const_cast<File&>(file), name);
    }

    std::map<std::string, File> files_;
    int tempCount_ = 0;
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
