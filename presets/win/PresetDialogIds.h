// Identifiers of the preset manager's dialogs, controls, context menu and tree icons (the
// add-preset dialog has its own file). Plain defines: the resource script includes this too.
#pragma once

// Dialogs.
#define IDD_PRESET_MANAGER 503
#define IDD_RENAME_PRESET 505
#define IDD_NEW_BANK 506

// The manager's context menu (one popup).
#define IDR_MANAGER_MENU 511

// Icons: the manager (also the tree's root), a preset, a bank closed and open.
#define IDI_PRESET_MANAGER 506
#define IDI_PRESET 231
#define IDI_BANK_OPEN 235
#define IDI_BANK_CLOSED 236

// Manager controls and commands (the context menu uses the button identifiers).
#define IDC_MANAGER_IMPORT 1500
#define IDC_MANAGER_ADD 1501
#define IDC_MANAGER_RENAME 1502
#define IDC_MANAGER_UPDATE 1503
#define IDC_MANAGER_DELETE 1504
#define IDC_MANAGER_TREE 1510
#define IDC_MANAGER_EXPORT 1512
#define IDC_MANAGER_CANCEL 1514

// The "Move Preset" submenu; its bank items carry the identifier of the bank's first preset.
#define IDM_MOVE_TO_ROOT 5000
#define IDM_MOVE_TO_NEW_BANK 5001

// Fields of the rename and new-bank dialogs.
#define IDC_RENAME_NAME 1511
#define IDC_NEW_BANK_NAME 1513
