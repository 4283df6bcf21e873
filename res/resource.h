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
