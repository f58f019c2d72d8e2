// The string ids of every text the user sees: id, English text and where it
// is shown. The texts themselves are in strings/Strings<language>.rc, one file
// per language; English (1033) stands in for any entry a language lacks.
// Plain #defines, because windres reads this file too.
#pragma once

#define IDS_OK 2  // "OK": buttons of every message box and dialog
#define IDS_CANCEL 3  // "&Cancel": Cancel buttons
#define IDS_MENU_EXIT 4  // "E&xit": tray menu
#define IDS_MENU_SETTINGS 6  // "Settings": tools menu of a drive view
#define IDS_MENU_PREFERENCES 7  // "Preferences": tray menu
#define IDS_MENU_EMPTY 9  // "Empty": tools menu when it has no items
#define IDS_EJECT 12  // "Eject": drive view: eject button
#define IDS_TOOLS 13  // "Tools": drive view: tools button
#define IDS_MENU_ABOUT 19  // "&About": tray menu
#define IDS_MENU_HELP 20  // "&Help": tray menu
#define IDS_MENU_HIDE 22  // "Hide": tray menu
#define IDS_MENU_SHOW 23  // "Show": tray menu (default item)
#define IDS_MENU_CHECK_VERSION 25  // "Check for newer version": tray menu
#define IDS_MENU_WEB_SITE 26  // "Visit our web site": tray menu
#define IDS_SENDTO_PREFIX 29  // "Tovik Drive Drive - ": Send-To shortcut names, followed by the letter and .lnk
#define IDS_SHORTCUT_DESCRIPTION 30  // "Tovik Control Panel - Manage and Personalize your Tovik Drive": description of the program's shortcuts
#define IDS_DRIVE_ARRIVED 31  // "New Tovik Drive Arrived": notification popup on insertion
#define IDS_DRIVE_REMOVABLE 32  // "The Tovik Drive can now be safely removed": notification popup on removal
#define IDS_PRODUCT_DRIVE 33  // "Tovik Drive": drive view: default label, free text of an unformatted drive
#define IDS_PROGRAM_NAME 34  // "Tovik Control Panel": caption of error boxes (before the suffix)
#define IDS_URL_SOFTWARE 35  // "http://www.tovik.example/software/": tray menu: Check for newer version opens it
#define IDS_CAPACITY 36  // "Capacity: ": drive view: capacity tooltip
#define IDS_USED 37  // "Used: ": drive view: capacity tooltip
#define IDS_FREE_LABEL 38  // "Free: ": drive view: capacity tooltip
#define IDS_URL_WEB_SITE 40  // "http://www.tovik.example/": tray menu: Visit our web site opens it
#define IDS_UNFORMATTED 41  // "Unformatted": drive view: size of an unreadable drive
#define IDS_ABOUT_NOTE 45  // "Thank you for using Tovik Control Panel. We would be glad to hear what you think of it: send us your comments through our web site. Tovik Control Panel is free of charge and may be passed on to others at no charge.": About box: additional information
#define IDS_FREE 55  // "Free": drive view: free-space text (inserted after the number)
#define IDS_PERSONAL_FOLDERS_ASK 70  // "Personal Folders are folders designated for certain type of files. To create Personal Folders click 'OK', to abort click 'Cancel'.": Create Personal Folders: confirmation
#define IDS_SUFFIX_ERROR 71  // " Error": caption suffix of error boxes
#define IDS_CAPTION_PROGRAM 72  // " Tovik Control Panel": caption of notices and questions
#define IDS_VIEW_CAPTION 73  // "Tovik Drive Drive - ": drive view caption, followed by the letters
#define IDS_SUFFIX_WARNING 76  // " Warning": caption suffix of warnings
#define IDS_GENERAL_ERROR 80  // "General Error.\nThe application will now close.": start-up failure
#define IDS_CONNECT_FAILED 81  // "Unable to connect to Tovik Drive - ": drive error box, followed by the letter
#define IDS_OS_NOT_SUPPORTED 82  // "Currently Tovik Control Panel does not support this version of Windows.": start-up on an unsupported Windows
#define IDS_NO_ADMIN 83  // "Unable to connect the Tovik Drive. Make sure you have Administrator privileges on this machine.\nThe application will now terminate.": start-up without administrator rights
#define IDS_DRIVE_BUSY 84  // "The Tovik Drive is currently in use by another application. Close all applications and documents and try again": eject, login, logout and write protection of a busy drive
#define IDS_UNSUPPORTED_DEVICE 86  // "The device inserted does not support Tovik Control Panel.": notification popup for a foreign drive
#define IDS_TRAY_TIP 87  // "Tovik Drive's Tovik Control Panel": tray icon tooltip (at most 63 characters)
#define IDS_SMALL_FONTS 89  // "This application is designed for use with Small Fonts. Your display is set to Large Fonts, so some texts may not fit their windows.\nTo change this, open Display in the Control Panel and choose Small Fonts on the Settings page.": start-up on a large-font display
#define IDS_ALREADY_RUNNING 93  // "Tovik Control Panel is already running.": notification popup on a second start
#define IDS_SAFE_TO_REMOVE 94  // "It is now safe to remove the Tovik Drive. Make sure the LED has stopped blinking and then remove your Tovik Drive.": eject on Windows ME
#define IDS_EXIT_CONFIRM 95  // "Closing the application will disable the Tovik Drive's advanced features.\nAre you sure you want to Exit?": Exit command
#define IDS_NEWER_LAUNCHED 97  // "The Application you launched is newer then the one that is currently running. To upgrade Tovik Control Panel, exit Tovik Control Panel and re-launch the application again.": a newer copy was started while an older one runs
#define IDS_STILL_RUNNING_NOTE 98  // "Although you have closed the program window, the program will continue to run in the taskbar (near the clock).": drive view hidden (reminder with check box)
#define IDS_UNINSTALL_CONFIRM 99  // "Are you sure you want a complete removal of Tovik Control Panel from your computer?\nClick 'OK' to Uninstall or 'Cancel' to abort the Uninstall.": /UNINSTALL start
#define IDS_SIZE_MB_DECIMAL 100  // "%0.1f MB": drive view: sizes up to 99 MB
#define IDS_SIZE_MB 103  // "%u MB": drive view: sizes above 99 MB
#define IDS_TIP_TOOLS 104  // "Tools and settings of this Tovik Drive": drive view: tooltip of the tools button
#define IDS_TIP_EJECT 105  // "Safely remove the Tovik Drive": drive view: tooltip of the eject button
#define IDS_TIP_SELECT 106  // "Choose which drive letter of the Tovik Drive to show": drive view: tooltip of the letter button
#define IDS_TIP_HIDE 107  // "Hide this window": drive view: tooltip of the hide button
#define IDS_TIP_OPEN 122  // "Open the Tovik Drive": drive view: tooltip of the open button
#define IDS_MENU_LOGIN 123  // "Login Privacy Zone": tools menu; login dialog caption
#define IDS_MENU_LOGOUT 124  // "Logout Privacy Zone": tools menu
#define IDS_MENU_PROTECT 131  // "Enable Write Protection": tools menu
#define IDS_MENU_UNPROTECT 132  // "Disable Write Protection": tools menu
#define IDS_MENU_SYNC_FOLDER 135  // "Synchronize Folder": tools menu
#define IDS_MENU_SYNC_DOCUMENTS 156  // "Synchronize My Documents": tools menu
#define IDS_MENU_SYNC_FAVORITES 157  // "Synchronize My Favorites": tools menu
#define IDS_MENU_PERSONAL_FOLDERS 158  // "Create Personal Folders": tools menu
#define IDS_PASSWORD_LABEL 200  // "Password:": login dialog
#define IDS_HINT_LABEL 201  // "Hint:": login dialog
#define IDS_TRY_AGAIN 202  // "Try Again": login error boxes
#define IDS_LOGIN_FIFTH 203  // "You have provided an incorrect password for the 5th time. In order to login you have to remove and then reinsert the Tovik Drive.": login: fifth wrong password
#define IDS_LOGIN_WRONG 204  // "Incorrect password. Click OK and try again.": login: wrong password
#define IDS_LOGIN_FAILED 205  // "Unable to login the secured area.": login failure
#define IDS_LOGOUT_FAILED 206  // "Unable to logout the secured area.": logout failure
#define IDS_PROTECT_ON_FAILED 207  // "Unable to switch Write Protection on.": write protection refused
#define IDS_PROTECT_OFF_FAILED 208  // "Unable to switch Write Protection off.": write protection refused
#define IDS_PREF_AUTORUN 210  // "Autorun Process": preferences: check box
#define IDS_PREF_AUTORUN_TIP 211  // "Execute Autorun commands (same as the CDrom drive).": preferences: description
#define IDS_PREF_VISUAL 212  // "Visual Indication": preferences: check box
#define IDS_PREF_VISUAL_TIP 213  // "Visual Tovik Drive view for quick access.": preferences: description
#define IDS_PREF_AUDIO 214  // "Audio Indication": preferences: check box
#define IDS_PREF_AUDIO_TIP 215  // "Audio indication for Tovik Drive insertion and removal.": preferences: description
#define IDS_PREF_STARTUP 216  // "Load with Windows": preferences: check box
#define IDS_PREF_STARTUP_TIP 217  // "Tovik Control Panel will be loaded with Windows, enabling the advanced features automaticaly.": preferences: description
#define IDS_PREF_SPLASH 218  // "Splash Screen": preferences: check box
#define IDS_PREF_SPLASH_TIP 219  // "A graphic window displayed when the application is being loaded.": preferences: description
#define IDS_PREF_DESKTOP 220  // "Create Desktop Shortcut": preferences and wizard: check box
#define IDS_PREF_DESKTOP_TIP 221  // "Create a shortcut to Tovik Control Panel on your Desktop.": preferences: description
#define IDS_PREF_START 222  // "Create Start Menu Shortcut": preferences and wizard: check box
#define IDS_PREF_START_TIP 223  // "Creating a shortcut to Tovik Control Panel in your 'Start' menu.": preferences: description
#define IDS_PREF_ONTOP 224  // "Always on top": preferences: check box
#define IDS_PREF_ONTOP_TIP 225  // "Keep Tovik Control Panel always on top of other windows for maximum accessibility.": preferences: description
#define IDS_PREF_LANGUAGE_TIP 226  // "Select your prefered language.": preferences: description of the language box
#define IDS_PREF_INTRO 227  // "Select your preferences": preferences: heading
#define IDS_PREF_LANGUAGE_INTRO 228  // "Select your language": preferences: heading
#define IDS_SUFFIX_SETTINGS 229  // " Settings": title suffix of the preferences and personalisation dialogs
#define IDS_SUFFIX_WELCOME 230  // " Welcome": title suffix of the install wizard
#define IDS_WIZARD_WELCOME 231  // "Welcome to Tovik Control Panel": install wizard: heading
#define IDS_WIZARD_INTRO 232  // "To start using Tovik Control Panel, select where the shortcut will be placed and click 'Finish'.": install wizard: text
#define IDS_FINISH 233  // "&Finish": install wizard: finish button
#define IDS_DEFAULT 240  // "Default": personalisation: first entry of both lists
#define IDS_ICON_N 241  // "Icon - %u": personalisation: icon list entry
#define IDS_SOUND_N 242  // "Sound - %u": personalisation: sound list entry
#define IDS_CLOSE 243  // "Close": close buttons and their tooltips
#define IDS_PERSONAL_ICON 244  // "Tovik Control Panel Personal Icon": personalisation: heading
#define IDS_PERSONAL_SOUND 245  // "Tovik Control Panel Personal Sound": personalisation: heading
#define IDS_PERSONAL_LABEL 246  // "Tovik Control Panel Personal Label": personalisation: heading
#define IDS_PLAY 247  // "&Play": personalisation: play button
#define IDS_DRIVE_VERSION 248  // "Tovik Drive Version: ": personalisation: version line
#define IDS_UNKNOWN 249  // "Unknown": personalisation: version without a drive
#define IDS_TIP_OK 250  // "Click OK to accept the changes.": personalisation: tooltip of OK
#define IDS_TIP_ICON_LIST 251  // "Want to change your Tovik Control Panel icon?\nClick on the arrow below and choose a different one.": personalisation: tooltip of the icon list
#define IDS_TIP_SOUND_LIST 252  // "Want to play a different sound when you insert your Tovik Drive?\nClick on the arrow below to choose a different one.": personalisation: tooltip of the sound list
#define IDS_TIP_PLAY 253  // "Plays the selected sound.": personalisation: tooltip of the play button
#define IDS_TIP_LABEL 254  // "Personalize your Tovik Drive. Enter a personal label.": personalisation: tooltip of the label field
#define IDS_FILTER_ICONS 255  // "Icon files (*.ico)|*.ico||": personalisation: file dialog filter
#define IDS_FILTER_SOUNDS 256  // "Sound files (*.wav)|*.wav||": personalisation: file dialog filter
#define IDS_DONT_SHOW_AGAIN 260  // "Don't show this message next time.": message box: check box
#define IDS_ABOUT_CAPTION 261  // "About Tovik Control Panel": About box: caption
#define IDS_ABOUT_PRODUCT 262  // "Tovik Control Panel Application": About box: product name
#define IDS_ABOUT_VERSION 263  // "Product Version: ": About box: followed by the version
#define IDS_ABOUT_MORE 264  // "Additional Infromation:": About box: heading of the note
#define IDS_SYNC_DETAILS 270  // "Synchronization Details": sync window: caption
#define IDS_SYNC_HEADER 271  // "The following files need to be updated:": sync window: list heading
#define IDS_SYNC_HOST 272  // "Host": sync window: column
#define IDS_SYNCHRONIZE 273  // "Synchronize": sync window: button
#define IDS_SYNC_SETTINGS 274  // "Synchronization Settings": sync settings: caption
#define IDS_SYNC_INSTRUCTIONS 275  // "Please choose the host and Tovik Drive folders:": sync settings: instructions
#define IDS_SYNC_HOST_FOLDER 276  // "Host Folder:": sync settings: label
#define IDS_SYNC_DRIVE_FOLDER 277  // "Tovik Drive Folder:": sync settings: label
#define IDS_SYNC_ABORTED 278  // "The synchronization procedure was aborted.": sync window: status
#define IDS_SYNC_IN_STEP 279  // "Your folders are synchronized": sync window: status
#define IDS_SYNC_ACTION_FAILED 280  // "Could not %s %s\nWould you like to continue synchronizing?": sync: a failed action (verb, path)
#define IDS_SYNC_COMPLETE 281  // "Synchronizartion complete": sync: run complete
#define IDS_SYNC_DB_ERROR 282  // "Error accessing the synchronization database.\nWould you like to try and create a new database? (files will be unharmed but old synchronization information will be lost)": sync: database error
#define IDS_SYNC_NO_PATH 283  // "The path you have selected does not exist.": sync: error 5
#define IDS_SYNC_BAD_DRIVE_PATH 284  // "Please select a valid Tovik Drive path.": sync: error 6
#define IDS_SYNC_BAD_HOST_PATH 285  // "Please select a valid host path.": sync: error 7
#define IDS_SYNC_PICK_HOST 286  // "Select Host Folder": sync settings: folder picker title
#define IDS_SYNC_PICK_DRIVE 287  // "Select Plunda Folder": sync settings: folder picker title
#define IDS_SYNC_NEW_FOLDERS 288  // "Are you sure you want to synchronize new folders?\n (files will be unharmed but old synchronization information will be lost)": sync settings: replacing a link
#define IDS_SYNC_NO_FOLDER 289  // "Please specify a folder.": sync settings: empty folder
#define IDS_SYNC_CREATE_FOLDER 290  // "The directory %s does not exist.\nWould like to create it?": sync settings: missing folder (path)
#define IDS_VERB_REPLACE 291  // "Replace": sync window: action verb
#define IDS_VERB_CREATE 292  // "Create": sync window: action verb
#define IDS_VERB_DELETE 293  // "Delete": sync window: action verb
#define IDS_VERB_SKIP 294  // "Skip": sync window: action verb
#define IDS_FILE_FOLDER 295  // "File Folder": tools list: type text of folders
#define IDS_UNINSTALL_DESCRIPTION 296  // "Uninstall Ovrin": description of the uninstall shortcut in the program group
#define IDS_LANGUAGE_NAME 297  // "English": preferences: the language's own name in the language box
#define IDS_LANGUAGE_SAMPLE 298  // "Welcome to Tovik Control Panel!": preferences: sample text of the chosen language
#define IDS_ABOUT_SDK_VERSION 299  // "SDK Version: ": About box: followed by the SDK's version
#define IDS_URL_SUPPORT 300  // "http://www.tovik.example/support/": About box: the support link
#define IDS_SYNC_CREATE_FAILED 301  // "Could not create directory.": sync settings: a missing folder could not be made
