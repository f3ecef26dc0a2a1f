#ifndef TALLYARD_RESOURCES_RESOURCEIDS_H
#define TALLYARD_RESOURCES_RESOURCEIDS_H

// Every command, control and resource id of the program. These numbers are
// part of the program's interface and never change: do not renumber.
// XRC files name controls by these symbols; RegisterResourceIds() maps each
// symbol to its number before any template is loaded.

#define TALLYARD_COMMAND_IDS(X)          \
    X(ID_NEW_CHECKLIST, 32786)           \
    X(ID_OPEN_CHECKLIST, 32796)          \
    X(ID_DELETE_CHECKLIST, 32839)        \
    X(ID_LIST_NOTE, 32867)               \
    X(ID_COPY_LIST, 32838)               \
    X(ID_MOVE_UP, 32773)                 \
    X(ID_MOVE_DOWN, 32776)               \
    X(ID_APP_ABOUT, 57664)               \
    X(ID_PREFERENCES, 32778)             \
    X(ID_SORT_ALPHA, 32801)              \
    X(ID_SORT_ITEM_COUNT, 32802)         \
    X(ID_IMPORT, 33100)                  \
    X(ID_EXPORT, 33101)                  \
    X(ID_MENU_TOOLS, 106)                \
    X(ID_MENU_LIST, 32831)               \
    X(ID_MENU_ITEMS, 32810)              \
    X(ID_RENAME_LIST, 32805)             \
    X(ID_DELETE_LIST, 32813)             \
    X(ID_EDIT_NOTE, 1022)                \
    X(ID_PURGE_CHECKED, 32817)           \
    X(ID_UNCHECK_ALL, 32818)             \
    X(ID_CHECK_ALL, 32819)               \
    X(ID_INVERT_CHECKS, 32820)           \
    X(ID_SHOW_ALL, 32783)                \
    X(ID_SHOW_UNCHECKED, 32784)          \
    X(ID_SHOW_CHECKED, 32785)            \
    X(ID_SORT_PRIORITY, 32780)           \
    X(ID_NEW_ITEM, 32841)                \
    X(ID_EDIT_ITEM, 58625)               \
    X(ID_DELETE_ITEM_BUTTON, 32842)      \
    X(ID_DELETE_ITEM, 32816)             \
    X(ID_ITEM_MOVE_UP, 32843)            \
    X(ID_ITEM_MOVE_DOWN, 32844)          \
    X(ID_DELETE_CURRENT_ITEM, 32865)     \
    X(ID_EXPORT_LIST, 32814)             \
    X(ID_IMPORT_LIST, 32815)             \
    X(ID_FILE_NEW, 57600)                \
    X(ID_FILE_OPEN, 57601)               \
    X(ID_FILE_SAVE, 57603)               \
    X(ID_APP_EXIT, 57665)                \
    X(ID_EDIT_UNDO, 57643)               \
    X(ID_EDIT_REDO, 57644)               \
    X(ID_EDIT_CUT, 57635)                \
    X(ID_EDIT_COPY, 57634)               \
    X(ID_EDIT_PASTE, 57637)

#define TALLYARD_CONTROL_IDS(X)          \
    X(IDC_CHECKLISTS, 1000)              \
    X(IDC_SHOW_PRIORITY, 1000)           \
    X(IDC_COPY_ALL, 1001)                \
    X(IDC_CATEGORY, 1002)                \
    X(IDC_COPY_CHECKED, 1002)            \
    X(IDC_TITLE_BAR, 1003)               \
    X(IDC_COPY_UNCHECKED, 1003)          \
    X(IDC_COPY_TITLE, 1004)              \
    X(IDC_CATEGORY_LIST, 1004)           \
    X(IDC_NEW_CATEGORY, 1005)            \
    X(IDC_RENAME_CATEGORY, 1006)         \
    X(IDC_DELETE_CATEGORY, 1007)         \
    X(IDC_VERSION, 1008)                 \
    X(IDC_PROMPT, 1008)                  \
    X(IDC_CATEGORY_NAME, 1009)           \
    X(IDC_LIST_NAME, 1011)               \
    X(IDC_ITEMS, 1016)                   \
    X(IDC_ITEM_NAME, 1017)               \
    X(IDC_PRIORITY, 1018)                \
    X(IDC_DETAILS, 1019)                 \
    X(IDC_NOTE, 1022)                    \
    X(IDC_DIALOGBAR_TEXT, 1039)          \
    X(IDC_COMMAND_BAR, 0xE800)           \
    X(IDC_TOOLBAR, 0xE800)               \
    X(IDC_DIALOGBAR, 0xE805)             \
    X(IDC_REBAR, 0xE804)

#define TALLYARD_RESOURCE_IDS(X)         \
    X(IDD_ABOUTBOX, 100)                 \
    X(IDD_MAIN_VIEW, 101)                \
    X(IDR_MAINFRAME, 128)                \
    X(IDD_CATEGORIES, 130)               \
    X(IDR_LIST_MENU, 130)                \
    X(IDD_PREFERENCES, 131)              \
    X(IDD_CATEGORY_NAME, 132)            \
    X(IDD_LIST, 133)                     \
    X(IDD_LIST_NAME, 134)                \
    X(IDD_ITEM, 135)                     \
    X(IDD_COPY_LIST, 136)                \
    X(IDD_NOTE, 137)                     \
    X(IDD_DIALOGBAR, 169)                \
    X(IDR_ITEM_TOOLBAR, 150)             \
    X(IDB_TOOLBAR, 128)                  \
    X(IDB_TITLE_BUTTONS, 131)            \
    X(IDB_DELETE, 138)                   \
    X(IDB_DOWN, 139)                     \
    X(IDB_NEW, 140)                      \
    X(IDB_EDIT, 141)                     \
    X(IDB_UP, 142)                       \
    X(IDB_BUTTON_STRIP, 145)             \
    X(IDB_DELETE_DISABLED, 146)          \
    X(IDB_DOWN_DISABLED, 147)            \
    X(IDB_EDIT_DISABLED, 148)            \
    X(IDB_UP_DISABLED, 149)              \
    X(IDB_ITEM_DELETE, 150)              \
    X(IDB_SPLASH, 152)                   \
    X(IDS_TOOLS, 103)                    \
    X(IDS_LIST, 32772)                   \
    X(IDS_ITEMS, 32812)                  \
    X(IDS_LIST_TOOLS, 32835)

#define TALLYARD_DECLARE_ID(name, value) name = value,
enum CommandId : int { TALLYARD_COMMAND_IDS(TALLYARD_DECLARE_ID) };
enum ControlId : int { TALLYARD_CONTROL_IDS(TALLYARD_DECLARE_ID) };
enum ResourceId : int { TALLYARD_RESOURCE_IDS(TALLYARD_DECLARE_ID) };
#undef TALLYARD_DECLARE_ID

/// Notification code of a drop-down closing (used in tests and handlers).
constexpr int CBN_CLOSEUP = 8;

#endif
