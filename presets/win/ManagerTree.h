// The preset manager's tree view: one root item, a bank item for each bank and an item for each
// preset, tagged so that a selection tells what it is; the icons; and the subclass that turns a
// right press into a selection followed by the context menu.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>

class CPresetLibrary;
struct PresetRecord;

// Posted to the manager dialog after a right press in the tree, with the press's wParam and
// lParam (the point in tree client coordinates).
constexpr UINT kPresetTreeMenuMessage = 2024;

class CManagerTree {
public:
    // Item tags; preset items carry their preset's identifier, which never takes these values.
    static constexpr LPARAM kRootTag = 0xAABBCCDD;
    static constexpr LPARAM kBankTag = 0xBAADBEEF;

    enum class Kind { kNothing, kRoot, kBank, kPreset };

    CManagerTree() = default;
    ~CManagerTree();
    CManagerTree(const CManagerTree&) = delete;
    CManagerTree& operator=(const CManagerTree&) = delete;

    // Takes over the dialog's tree control: subclasses it and gives it the four icons (the
    // manager, a preset, a closed and an open bank) from instance.
    void Attach(HWND tree, HINSTANCE instance);
    // Frees the image list. The subclass undoes itself when the tree is destroyed.
    void Detach();
    HWND Window() const { return m_tree; }

    // Rebuilds every item from the library, which is sorted first: the root, the banks in
    // library order (one item for names that differ only in case, spelled as the first record
    // spells it) with their presets in the tree's own alphabetical order, then the root
    // presets in library order. The root ends expanded and selected; banks start collapsed.
    void Fill(CPresetLibrary& library);
    // Selects the item of the preset with that identifier, opening its bank to show it.
    // False when no item has it.
    bool SelectPreset(int32_t id);
    void SelectRoot();
    void DeleteItem(HTREEITEM item);

    HTREEITEM Selected() const;
    Kind SelectedKind() const;
    // The selected preset's record, null unless a preset is selected.
    PresetRecord* SelectedPreset(const CPresetLibrary& library) const;
    // The selected bank's name, as spelled by the record of its first item; empty unless a
    // bank is selected.
    std::string SelectedBank(const CPresetLibrary& library) const;

private:
    HTREEITEM Insert(HTREEITEM parent, HTREEITEM after, const char* text, LPARAM tag, int image,
                     int selectedImage);
    LPARAM Tag(HTREEITEM item) const;

    HWND m_tree = nullptr;
    HIMAGELIST m_images = nullptr;
    HTREEITEM m_root = nullptr;
};
