// The renderer's preset library: the editor's own library file (found as the editor finds it)
// or a file named on the command line, read through the platform's INI functions. What the
// library would tell the user in a message box becomes a warning line instead.
#pragma once
#include <string>
#include <vector>

#include "presets/PresetLibrary.h"
#include "presets/win/PrivateProfileStore.h"

class CUserLibrary {
public:
    CUserLibrary();
    CUserLibrary(const CUserLibrary&) = delete;
    CUserLibrary& operator=(const CUserLibrary&) = delete;

    // Reads presetFile, or the editor's library when it is empty. False with *error for a
    // file named on the command line that is missing or not a tw:Phase preset file; the
    // editor's library missing is no error (no user presets).
    bool Load(const std::string& presetFile, std::string* error);
    const CPresetLibrary& Library() const { return m_library; }
    // The file read, for messages; empty when the editor has no library file.
    const std::string& Source() const { return m_source; }
    // What the library would have shown the user while reading.
    const std::vector<std::string>& Warnings() const { return m_messages.texts; }

private:
    // Messages as text; questions are answered No (the renderer imports nothing).
    struct CCollectedMessages : public IPresetMessages {
        void ShowError(PresetMessageOwner, const std::string& text) override { texts.push_back(text); }
        bool AskYesNo(PresetMessageOwner, const std::string& text) override {
            texts.push_back(text);
            return false;
        }
        std::vector<std::string> texts;
    };

    CPrivateProfileStore m_store;
    CCollectedMessages m_messages;
    CPresetLibrary m_library;
    std::string m_source;
};
