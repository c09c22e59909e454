/* Resource and control ids of kestinst.exe. Plain #defines: this header is
   read by the resource compiler as well as by C++. The string ids are in
   the generated resources/string_ids.h (source: resources/strings.txt). */
#ifndef KEST_RESOURCES_RESOURCE_IDS_H
#define KEST_RESOURCES_RESOURCE_IDS_H

/* Dialog templates. */
#define IDD_WELCOME                 101  /* welcome page (page class) */
#define IDD_COMPLETE                104  /* "Installation Complete" */
#define IDD_BROWSE_FOLDER           105  /* folder browser, file-open replacement */
#define IDD_REGISTRATION_INCOMPLETE 106  /* "Installation Not Complete" */
#define IDD_CONFIRM_FOLDER          107  /* confirm page (page class) */
#define IDD_CHOOSE_FOLDER           108  /* folder page (page class) */
#define IDD_PLEASE_WAIT             115  /* modeless box while the package opens */
#define IDD_ERROR_DETAIL            118  /* error dialog with a detail text */
#define IDD_ERROR                   119  /* error dialog without one */
#define IDD_COMPLETE_RESTART        120  /* "Installation Complete", restart needed */
#define IDD_EXIT_CONFIRM            121  /* "Are you sure you want to exit Install?" */
#define IDD_AGREEMENT               122  /* agreement page (page class) */
#define IDD_AGREEMENT_REMINDER      123  /* box not ticked */

/* Bitmap and icons. */
#define IDB_WELCOME        1010  /* picture on the wizard pages */
#define IDI_INSTALLER      1500  /* class icon of both window classes */
#define IDI_EXIT_QUESTION  1501  /* shown by the exit confirmation */

/* The command posted to the hidden main window to start the run. */
#define IDM_START_INSTALL  1527

/* The agreement text is strings IDS_AGREEMENT_FIRST and the
   IDS_AGREEMENT_COUNT - 1 that follow, concatenated in order. */
#define IDS_AGREEMENT_FIRST  125
#define IDS_AGREEMENT_COUNT  32

/* Command ids shared by the pages and boxes. A dialog ends with the id of
   the command that closed it, so these are also the page results. */
#define IDC_NEXT          1  /* "&Next >", "&Install", "&OK", "&Yes" */
#define IDC_CANCEL_KEY    2  /* the cancel command (Escape); "&No" */
#define IDC_EXIT_INSTALL  3  /* "E&xit Install" */
#define IDC_PREVIOUS      4  /* "< &Previous" */

/* Error dialog (118, 119). */
#define IDC_ERROR_FIRST_BUTTON  1     /* "E&xit Install", "OK", "Continue", "Ignore" */
#define IDC_ERROR_CHANGE_DRIVE  2
#define IDC_ERROR_TRY_AGAIN     4     /* "&Try Again", or "Continue" */
#define IDC_ERROR_ICON          1021
#define IDC_ERROR_HEADLINE      1022
#define IDC_ERROR_MESSAGE       1023
#define IDC_ERROR_DETAIL        1027  /* 118 only */

/* Wizard pages and boxes. */
#define IDC_BROWSE               1000  /* folder page: "&Browse..." */
#define IDC_COMPONENT_NAME       1001  /* welcome page: the first component's product */
#define IDC_FOLDER_NOTE          1002  /* folder page: later installs use this folder */
#define IDC_STATUS_LINE          1003  /* folder and confirm pages */
#define IDC_FOLDER_EDIT          1004  /* folder page: the destination folder */
#define IDC_RIGHTS_NOTICE        1019  /* welcome page */
#define IDC_WELCOME_TEXT         1028  /* welcome page: "Congratulations on ..." */
#define IDC_SEPARATOR            1030  /* welcome page: sunken bar one unit high */
#define IDC_EXIT_ICON            1031  /* exit confirmation: icon IDI_EXIT_QUESTION */
#define IDC_AGREEMENT_TEXT       1032  /* agreement page: read-only multi-line edit */
#define IDC_AGREE_CHECK          1033  /* agreement page: "I agree to ..." */
#define IDC_AGREEMENT_HOWTO      1034  /* agreement page: read, tick, press Install */
#define IDC_AGREEMENT_REFUND     1035  /* agreement page: "If you do not agree, ..." */
#define IDC_WELCOME_PICTURE      1503  /* welcome page: bitmap IDB_WELCOME */

/* Folder browser template (105): the ids the system's file-open dialog
   requires of a replacement template. */
#define IDC_BROWSE_HELP          1038  /* "&Help" */
#define IDC_BROWSE_PATH          1088  /* the current folder's path */
#define IDC_BROWSE_TYPE_LABEL    1089  /* hidden: "List Files of &Type:" */
#define IDC_BROWSE_NAME_LABEL    1090  /* hidden: "File &Name:" */
#define IDC_BROWSE_DRIVES_LABEL  1091  /* "Dri&ves:" */
#define IDC_BROWSE_FILES         1120  /* hidden: file list */
#define IDC_BROWSE_FOLDERS       1121  /* folder list */
#define IDC_BROWSE_TYPES         1136  /* hidden: file types */
#define IDC_BROWSE_DRIVES        1137  /* drive list */
#define IDC_BROWSE_NAME          1152  /* hidden: file name edit */

#endif
