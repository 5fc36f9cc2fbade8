// CManagerTree: filling the preset manager's tree view from the library and reading its
// selection.
#include "presets/win/ManagerTree.h"

#include <utility>
#include <vector>

#include "presets/PresetLibrary.h"
#include "presets/win/PresetDialogIds.h"

namespace {

constexpr char kOldProcProperty[] = "oldproc";

// Image list indexes, in the order the icons are added.
constexpr int kManagerImage = 0;
constexpr int kPresetImage = 1;
constexpr int kBankImage = 2;
constexpr int kOpenBankImage = 3;

// A right press selects the item under the pointer, as a left press does, and then asks the
// dialog for the context menu; the right press itself goes no further.
LRESULT OnRightButtonDown(HWND tree, WNDPROC old, WPARAM wParam, LPARAM lParam) {
    CallWindowProcW(old, tree, WM_LBUTTONDOWN, wParam, lParam);
    PostMessageA(GetParent(tree), kPresetTreeMenuMessage, wParam, lParam);
    return 0;
}

// The tree's last message: its own procedure goes back in before it handles it.
LRESULT OnNcDestroy(HWND tree, WNDPROC old, WPARAM wParam, LPARAM lParam) {
    SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(tree, kOldProcProperty);
    return CallWindowProcW(old, tree, WM_NCDESTROY, wParam, lParam);
}

LRESULT CALLBACK TreeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(tree, kOldProcProperty));
    if (!old) return DefWindowProcW(tree, message, wParam, lParam);
    switch (message) {
    case WM_RBUTTONDOWN: return OnRightButtonDown(tree, old, wParam, lParam);
    case WM_NCDESTROY: return OnNcDestroy(tree, old, wParam, lParam);
    default: return CallWindowProcW(old, tree, message, wParam, lParam);
    }
}

}  // namespace

CManagerTree::~CManagerTree() {
    Detach();
}

void CManagerTree::Attach(HWND tree, HINSTANCE instance) {
    m_tree = tree;
    if (!tree) return;
    const LONG_PTR old = GetWindowLongPtrW(tree, GWLP_WNDPROC);
    if (SetPropA(tree, kOldProcProperty, reinterpret_cast<HANDLE>(old)))
        SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc));

    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    m_images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 9, 1);
    if (!m_images) return;
    for (int id : {IDI_PRESET_MANAGER, IDI_PRESET, IDI_BANK_CLOSED, IDI_BANK_OPEN}) {
        auto icon = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
        ImageList_AddIcon(m_images, icon);  // an image that failed to load leaves a gap
        if (icon) DestroyIcon(icon);
    }
    TreeView_SetImageList(tree, m_images, TVSIL_NORMAL);
}

void CManagerTree::Detach() {
    if (m_tree && IsWindow(m_tree)) TreeView_SetImageList(m_tree, nullptr, TVSIL_NORMAL);
    if (m_images) ImageList_Destroy(m_images);
    m_images = nullptr;
    m_tree = nullptr;
    m_root = nullptr;
}

HTREEITEM CManagerTree::Insert(HTREEITEM parent, HTREEITEM after, const char* text, LPARAM tag,
                               int image, int selectedImage) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.lParam = tag;
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CManagerTree::Fill(CPresetLibrary& library) {
    if (!m_tree) return;
    SendMessageA(m_tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(m_tree);
    library.SortLibrary();
    const std::string rootText = "Available " + library.ProductName() + " presets";
    m_root = Insert(TVI_ROOT, TVI_FIRST, rootText.c_str(), kRootTag, kManagerImage, kManagerImage);

    // Bank items by name, compared as the library compares banks.
    std::vector<std::pair<const char*, HTREEITEM>> banks;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const PresetRecord& record = *library.At(i);
        HTREEITEM parent = m_root;
        HTREEITEM after = TVI_LAST;
        if (record.HasBank()) {
            parent = nullptr;
            for (const auto& bank : banks)
                if (SameBank(bank.first, record.bank)) parent = bank.second;
            if (!parent) {
                parent =
                    Insert(m_root, TVI_LAST, record.bank, kBankTag, kBankImage, kOpenBankImage);
                banks.emplace_back(record.bank, parent);
            }
            after = TVI_SORT;
        }
        Insert(parent, after, record.name, record.id, kPresetImage, kPresetImage);
    }
    TreeView_Expand(m_tree, m_root, TVE_EXPAND);
    TreeView_SelectItem(m_tree, m_root);
    SendMessageA(m_tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_tree, nullptr, TRUE);
}

bool CManagerTree::SelectPreset(int32_t id) {
    if (!m_tree || !m_root) return false;
    for (HTREEITEM item = TreeView_GetChild(m_tree, m_root); item;
         item = TreeView_GetNextSibling(m_tree, item)) {
        HTREEITEM found = nullptr;
        if (Tag(item) == kBankTag) {
            for (HTREEITEM child = TreeView_GetChild(m_tree, item); child && !found;
                 child = TreeView_GetNextSibling(m_tree, child))
                if (Tag(child) == id) found = child;
        } else if (Tag(item) == id) {
            found = item;
        }
        if (found) {
            TreeView_SelectItem(m_tree, found);
            TreeView_EnsureVisible(m_tree, found);
            return true;
        }
    }
    return false;
}

void CManagerTree::SelectRoot() {
    if (m_tree && m_root) TreeView_SelectItem(m_tree, m_root);
}

void CManagerTree::DeleteItem(HTREEITEM item) {
    if (m_tree && item) TreeView_DeleteItem(m_tree, item);
}

LPARAM CManagerTree::Tag(HTREEITEM item) const {
    TVITEMA data = {};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    if (!item || !SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data))) return 0;
    return data.lParam;
}

HTREEITEM CManagerTree::Selected() const {
    return m_tree ? TreeView_GetSelection(m_tree) : nullptr;
}

CManagerTree::Kind CManagerTree::SelectedKind() const {
    HTREEITEM item = Selected();
    if (!item) return Kind::kNothing;
    const LPARAM tag = Tag(item);
    if (tag == kRootTag) return Kind::kRoot;
    if (tag == kBankTag) return Kind::kBank;
    return Kind::kPreset;
}

PresetRecord* CManagerTree::SelectedPreset(const CPresetLibrary& library) const {
    if (SelectedKind() != Kind::kPreset) return nullptr;
    return library.FindById(static_cast<int32_t>(Tag(Selected())));
}

std::string CManagerTree::SelectedBank(const CPresetLibrary& library) const {
    if (SelectedKind() != Kind::kBank) return std::string();
    const PresetRecord* first =
        library.FindById(static_cast<int32_t>(Tag(TreeView_GetChild(m_tree, Selected()))));
    return first ? first->bank : std::string();
}
