// Resource identifiers. The pages' checkboxes are numbered in their own
// templates and tweak tables.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDS_NOTICE_NAME 102
#define IDS_BANNER_NAME 103
#define IDS_BANNER_DESCRIPTION 104
#define IDD_MORVANE_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_NOTICE_GIF 128
#define IDD_GENERAL 129
#define IDD_PAGE_CONTAINER 130
#define IDD_SERVICES 131
#define IDD_IEXPLORER 132
#define IDD_MEDIAPLAYER 133
#define IDD_USABILITY 134
#define IDB_BANNER 140
#define IDD_BANNER_CONTAINER 142
#define IDD_BANNER 143

#define IDC_TAB 1000
#define IDC_PAGE_FRAME 1001
#define IDC_ABOUT 1002
#define IDC_BANNER_FRAME 1006
#define IDC_BANNER_PICTURE 1007
#define IDC_FORUM 1008
#define IDC_NOTICE 1009

#define IDM_ABOUTBOX 0x0010
