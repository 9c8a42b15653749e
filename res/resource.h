/* Resource ids of quendle.exe, shared by quendle.rc and the window code. */
#ifndef QUENDLE_RESOURCE_H
#define QUENDLE_RESOURCE_H

/* Commands: menu items, accelerators and toolbar buttons share these. */
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_CLEAR 111
#define IDM_HELP 112
#define IDM_SOLVE 113
#define IDM_SELECT_ALL 118 /* Ctrl+A: selects the whole text */

/* Child windows of the main window. */
#define IDC_EDIT 106

/* Strings: the window title, the window class name, the toolbar tooltips. */
#define IDS_APP_TITLE 103
#define IDS_CLASS_NAME 109
#define IDS_TIP_CLEAR 114
#define IDS_TIP_SOLVE 115
#define IDS_TIP_HELP 116
#define IDS_TIP_EXIT 117

/* Icons: the class's large icon (also in the About box) and its small icon. */
#define IDI_QUENDLE 107
#define IDI_SMALL 108

/* The main menu and the accelerator table. */
#define IDR_MAINFRAME 109

/* Dialogs. */
#define IDD_ABOUTBOX 103

#endif
