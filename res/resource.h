// Resource ids of the search window, its strings, icon and bitmap.
#pragma once

// Icon
#define IDI_TROVIK                  1

// Dialog
#define IDD_SEARCH                  101

// Bitmap
#define IDB_DIGITS                  103

// Controls of IDD_SEARCH
#define IDC_FILESPEC                1000
#define IDC_TEXT                    1001
#define IDC_LOCATION                1002
#define IDC_BROWSE                  1003
#define IDC_FILESPEC_LABEL          1004
#define IDC_SUBFOLDERS              1005
#define IDC_RESULTS                 1008
#define IDC_STATUS                  1010
#define IDC_ANIMATION               1011
#define IDC_REGEXP                  1012
#define IDC_MATCHCASE               1013
#define IDC_PREVIEW                 1014

// Strings
#define IDS_COLUMN_NAME             1000
#define IDS_COLUMN_MATCHES          1001
#define IDS_COLUMN_LOCATION         1002
#define IDS_COLUMN_SIZE             1003
#define IDS_COLUMN_TYPE             1004
#define IDS_COLUMN_MODIFIED         1005
#define IDS_STOP                    1006
#define IDS_SEARCH                  1007
#define IDS_CHDIR_FAILED            1008
#define IDS_SELECT_FOLDER           1009
#define IDS_FAILED                  1010
#define IDS_MENU_OPEN               1011
#define IDS_MENU_OPEN_FOLDER        1012
#define IDS_MENU_COPY_PATH          1013
#define IDS_MENU_COPY_NAME          1014
#define IDS_MENU_SAVE_LIST          1015
#define IDS_SAVE_FAILED             1016
#define IDS_OPEN_LONG_PATH          1017
#define IDS_REASON_NOT_DISK_FILE    1019
#define IDS_REASON_SYSTEM_ERROR     1020
#define IDS_USAGE                   1022
#define IDS_MENU_FOLDER_MENUS       1023
#define IDS_FOLDER_MENUS_FAILED     1024
#define IDS_COLUMN_LINE             1025
#define IDS_COLUMN_TEXT             1026
#define IDS_PREVIEW_GONE            1027
#define IDS_PREVIEW_MORE_COUNT      1028
#define IDS_PREVIEW_MORE            1029

// Commands of the results list's context menu
#define IDM_OPEN                    2001
#define IDM_OPEN_FOLDER             2002
#define IDM_COPY_PATH               2003
#define IDM_COPY_NAME               2004
#define IDM_SAVE_LIST               2005

// Commands of the window's system menu: the system keeps the low four bits
#define IDM_FOLDER_MENUS            2016
