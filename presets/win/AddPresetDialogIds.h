// Identifiers of the add-preset dialog; plain defines, because the resource script includes
// this file too.
#pragma once

#define IDD_ADD_PRESET 504
#define IDC_ADD_NAME 1511
#define IDC_ADD_BANK 1513
