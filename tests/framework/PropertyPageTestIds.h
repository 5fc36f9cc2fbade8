// Resource identifiers shared by PropertyPageTest.cpp and PropertyPageTest.rc.
#pragma once

#define IDD_TEST_PAGE 106        // the same id as the editor's page template
#define IDD_TEST_POPUP_PAGE 107
#define IDC_TEST_BUTTON 1001
#define IDS_TEST_TITLE 1
