// Resource ids of the control panel: dialog templates, skins (GIF pictures),
// bitmaps, icons, sounds and menus, plus the control ids the toolkit itself
// relies on. Plain #defines, because windres reads this file too.
#pragma once

// Dialog templates.
#define IDD_KESTOVA_DIALOG 500
#define IDD_SPLASH_DIALOG 501
#define IDD_PLUNDA_VIEW_DIALOG 504
#define IDD_PLUNDA_MANAGER_VIEW_DIALOG 505
#define IDD_ABOUT_DIALOG 506
#define IDD_PLUNDA_PREFERENCES_DIALOG 510
#define IDD_GUI_MESSAGE_BOX 511
#define IDD_GUI_MESSAGE_BOX_CHECK 513
#define IDD_DEPOSIT_LOGIN_DIALOG 514
// The write-protection dialog is never shown and carries the same number.
#define IDD_WRITE_PROTECTION_DIALOG 514
#define IDD_NOTIFY_POPUP 515
#define IDD_SYNC_SETTINGS_DIALOG 516
#define IDD_SYNC_DIALOG 517

// Window shapes (bitmaps; pure white is cut away).
#define IDB_PLUNDA_VIEW_SHAPE 200
#define IDB_ABOUT_SHAPE 219
#define IDB_PREFERENCES_SHAPE 220
#define IDB_INSTALL_WIZARD_SHAPE 222

// Picture buttons of the drive view (normal, pressed, focused, disabled per button).
#define IDB_SELECT_PRESSED 201
#define IDB_SELECT_FOCUSED 202
#define IDB_SELECT_NORMAL 203
#define IDB_TOOLS_PRESSED 204
#define IDB_TOOLS_FOCUSED 205
#define IDB_TOOLS_NORMAL 206
#define IDB_EJECT_PRESSED 207
#define IDB_EJECT_FOCUSED 208
#define IDB_EJECT_NORMAL 209
#define IDB_EJECT_DISABLED 210
#define IDB_SELECT_DISABLED 211
#define IDB_TOOLS_DISABLED 212
#define IDB_HIDE_NORMAL 214
#define IDB_HIDE_DISABLED 215
#define IDB_HIDE_FOCUSED 216
#define IDB_HIDE_PRESSED 217
#define IDB_PLUNDA_LOGO 218

// Small close button of the caption bar: normal, disabled, pressed, mouse over.
#define IDB_CLOSE_NORMAL 223
#define IDB_CLOSE_DISABLED 224
#define IDB_CLOSE_PRESSED 225
#define IDB_CLOSE_OVER 226

// Skinned check box (40 x 20): normal, disabled, pressed or checked, mouse over.
#define IDB_CHECK_NORMAL 227
#define IDB_CHECK_DISABLED 228
#define IDB_CHECK_CHECKED 229
#define IDB_CHECK_OVER 230

// Standard push button, three pieces per state (left, middle, right).
#define IDB_BUTTON_LEFT_NORMAL 231
#define IDB_BUTTON_LEFT_DISABLED 232
#define IDB_BUTTON_LEFT_PRESSED 233
#define IDB_BUTTON_LEFT_OVER 234
#define IDB_BUTTON_LEFT_FOCUSED 235
#define IDB_BUTTON_MIDDLE_NORMAL 236
#define IDB_BUTTON_MIDDLE_DISABLED 237
#define IDB_BUTTON_MIDDLE_PRESSED 238
#define IDB_BUTTON_MIDDLE_OVER 239
#define IDB_BUTTON_MIDDLE_FOCUSED 240
#define IDB_BUTTON_RIGHT_NORMAL 241
#define IDB_BUTTON_RIGHT_DISABLED 242
#define IDB_BUTTON_RIGHT_PRESSED 243
#define IDB_BUTTON_RIGHT_OVER 244
#define IDB_BUTTON_RIGHT_FOCUSED 245
// Left pieces of the play button (a play mark in the cap); the standard
// middle and right pieces complete it.
#define IDB_PLAY_LEFT_NORMAL 246
#define IDB_PLAY_LEFT_DISABLED 247
#define IDB_PLAY_LEFT_PRESSED 248
#define IDB_PLAY_LEFT_OVER 249
// Masks of the standard button: black is button, white lets the skin through.
#define IDB_BUTTON_MASK_RIGHT 250
#define IDB_BUTTON_MASK_MIDDLE 251
#define IDB_BUTTON_MASK_LEFT 252

// Skins and pictures (resources of type "GIF").
#define IDG_DO_NOT_SHOW_PICTURE 300
#define IDG_NOTIFY_SKIN 301
#define IDG_NOTIFY_INSERTED 302
#define IDG_NOTIFY_REMOVED 303
#define IDG_SPLASH_SKIN 304
#define IDG_MESSAGE_SKIN 306
#define IDG_PLUNDA_VIEW_SKIN 307
#define IDG_ERROR_PICTURE 308
#define IDG_WARNING_PICTURE 310
#define IDG_PREFERENCES_SKIN 311
#define IDG_INSTALL_WIZARD_SKIN 313
#define IDG_ABOUT_SKIN 314
#define IDG_PRODUCT_LOGO 317
#define IDG_PLUNDA_PREFERENCES_SKIN 318
// The picture of the "My Tovik USB Drive" folder's web view, written onto the drive.
#define IDG_PERSONAL_FOLDER_PICTURE 319
#define IDG_SYNC_SKIN 320
#define IDG_SYNC_SETTINGS_SKIN 321

// Icons.
#define IDI_APPLICATION_ICON 360
#define IDI_TRAY_ICON 362
#define IDI_MENU_EXIT 363
#define IDI_MENU_PREFERENCES 364
#define IDI_MENU_ABOUT 365
#define IDI_MENU_HELP 366
#define IDI_DRIVE_DEFAULT 367
#define IDI_PRIVACY_LOGGED_OUT 368
#define IDI_PRIVACY_LOGGED_IN 369
#define IDI_TOOL_FOLDER 370
#define IDI_SOUND 371
#define IDI_DRIVE_1 372  // 372 to 381: the ten built-in drive icons
#define IDI_DRIVE_10 381
#define IDI_WRITABLE 382
#define IDI_WRITE_PROTECTED 383
#define IDI_SYNC_ACTION_3 385
#define IDI_SYNC_ACTION_2 386
#define IDI_SYNC_ACTION_1 388
#define IDI_SYNC_ACTION_0 389
#define IDI_SYNC_ACTION_6 390
#define IDI_CAPACITY 391
#define IDI_MENU_WRITE_PROTECTION 392
#define IDI_MENU_PRIVACY 393
#define IDI_SYNC_ACTION_5 394
#define IDI_SYNC_ACTION_4 395

// Sounds (resources of type "WAVE").
#define IDW_INSERTED 400
#define IDW_REMOVED 401
#define IDW_SOUND_1 402  // 402 to 411: the ten built-in insertion sounds
#define IDW_SOUND_10 411

// Web-view templates of the customised folders on a drive (type "HTT"): the
// plain folders and "My Tovik USB Drive".
#define IDH_PLAIN_FOLDER_HTT 420
#define IDH_PERSONAL_FOLDER_HTT 421

// Menus.
#define IDR_DRIVE_MENU 431
#define IDR_CONTEXT_MENU 432
#define IDR_TRAY_MENU 433

// Controls the toolkit knows by id.
#define IDC_CAPTION_CTL 1072
// The login dialog.
#define IDC_PASSWORD_CTL 1104
#define IDC_PASSWORD_EDIT 1105
#define IDC_HINT_CTL 1106
#define IDC_HINT_TXT 1107
// The personalisation dialog.
#define IDC_BROWSE_FOR_ICON_STR 1047
#define IDC_BROWSE_FOR_SOUND_STR 1048
#define IDC_PLAY_SOUND 1049
#define IDC_SET_PDK_LABEL_STR 1050
#define IDC_SET_PDK_LABEL_EDIT 1056
#define IDC_PDK_VERSION_STR 1076
#define IDC_ICON_COMBOBOXEX 1082
#define IDC_SOUND_COMBOBOXEX 1083
#define IDC_ICON_SAMPLE 1089
#define IDC_CLOSE_BUTTON 1073
#define IDC_NOTIFY_TEXT 1098

// Dialog templates of the preferences and the install wizard.
#define IDD_PREFERENCES_DIALOG 507
#define IDD_INSTALL_WIZARD_DIALOG 508

// Controls of the message boxes, the About window, the preferences and the wizard.
#define IDC_PRODUCT_NAME 1018
#define IDC_VERSIO_INFO 1020
#define IDC_PRODUCT_LOGO 1021
#define IDC_ADDITIONAL_INFO 1022
#define IDC_ADDITIONAL_INFO_STR 1023
#define IDC_SDK_VERSIO_INFO 1024
#define IDC_SUPPORT_LINK 1025
#define IDC_MESSAGE_TXT 1030
#define IDC_VISUAL_ON_CHECK 1032
#define IDC_AUDIO_ON_CHECK 1033
#define IDC_SPLASH_ON_CHECK 1034
#define IDC_AUTORAN_ON_CHECK 1035
#define IDC_STARTUP_ON_CHECK 1036
#define IDC_DESKTOP_SC_CHECK 1037
#define IDC_START_SC_CHECK 1039
#define IDC_LANGUAGE_SELECT_COMBO 1040
#define IDC_LANGUAGE_SAMPLE 1041
#define IDC_ALWAYS_ONTOP_ON_CHECK 1042
#define IDC_PAKKEO_PREFERENCES_INTRO 1070
#define IDC_LANGUAGE_PREFERENCES_INTRO 1071
#define IDC_INSTALL_PREFERENCES 1074
#define IDC_INSTALL_PREFERENCES_INTRO 1075
#define IDC_ICON_CTL 1087
#define IDC_DO_NOT_SHOW_AGAIN 1095
#define ID_WIZFINISH 12325

// Placeholder item of the menu resources, removed by whoever fills a menu.
#define ID_MENU_PLACEHOLDER 32771
// Tray menu commands.
#define ID_TRAY_HELP_TOPICS 57670
#define ID_TRAY_ABOUT 32772
#define ID_TRAY_CHECK_VERSION 32773
#define ID_TRAY_WEB_SITE 32774
#define ID_TRAY_PREFERENCES 32775
#define ID_TRAY_HIDE 61186
#define ID_TRAY_SHOW 61187
#define ID_TRAY_EXIT 57665

// Controls of the sync window and the sync settings dialog.
#define IDC_HOST_BROWSE 1108
#define IDC_PDK_BROWSE 1109
#define IDC_INSTRUCTIONS 1110
#define IDC_SYNC_PROGRESS 1113
#define IDC_SYNCHRONIZE 1114
#define IDC_CLOSE 1115
#define IDC_HOST_STATIC 1116
#define IDC_PDK_STATIC 1117
#define IDC_CAPTION 1118
#define IDC_HEADER 1119
#define IDC_LINK_ICON 1120
#define IDC_HOST_ICON 1121
#define IDC_USB_ICON 1122
#define IDC_HOST_LABEL 1123
#define IDC_PDK_LABEL 1124
#define IDC_SETTINGS 1125
#define IDC_HOST_FOLDER 1127
#define IDC_ACTIONS_LIST 1128
#define IDC_PDK_FOLDER 1129
// The sync window's alternatives: 1290 + action kind.
#define ID_SYNC_ALTERNATIVE 1290

// Controls of the drive view.
#define IDC_SAFE_EJECT_BUTTON 1003
#define IDC_TOOLS_BUTTON 1005
#define IDC_CAPACITY_CTL 1010
#define IDC_FREESPACE_CTL 1011
#define IDC_LABEL_CTL 1013
#define IDC_OPEN_BUTTON 1029
#define IDC_WIN_HIDE_BUTTON 1064
#define IDC_LOGO_STATIC 1069
#define IDC_FILE_DLG_MARKER 1078
#define IDC_PRIVACY_INDICATION 1091
#define IDC_SELECT_BUTTON 1100
#define IDC_CAPACITY_BUTTON 1103
#define IDC_WPROTECT_INDICATION 1126
