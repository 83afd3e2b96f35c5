// Numbers of the string table's texts (res/StringTable.cpp holds the texts).
//
// Numbers below 1000 are the historic resource numbers; several of them are used as
// registry key paths and value names, so they must never change. Texts added later
// are numbered from 1000 up, by area:
//   1000-1099 shell, settings store, registry value names
//   1100-1199 store files and CSV copies
//   1200-1299 Compose page (with the message-lifetime list shared by Options)
//   1300-1399 Inbox page
//   1400-1499 Outbox page
//   1500-1599 Options page
//   1600-1699 error dialog
// Texts are UTF-8 bytes, returned exactly as stored (trailing blanks, double blanks,
// "\r\n" and "\t" included).
#pragma once

// ---------------------------------------------------------------------------------
// Window title, buttons, one-instance guard
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_SMS_MESSAGE = 1;     // "SMS Message" (window title, box captions)
constexpr unsigned int IDS_ONE_INSTANCE = 132;  // "You can run only one instance of SMS at a time."
constexpr unsigned int IDS_ELLIPSIS = 158;      // "..."  (after a preset's first line)
constexpr unsigned int IDS_CLOSE = 159;         // "Close" (text of the sheet's OK button)

// ---------------------------------------------------------------------------------
// Registry key paths (below HKEY_CURRENT_USER) and the numbered value names
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_KEY_ROOT = 12;        // "SOFTWARE\Kelvane\Mireth"
constexpr unsigned int IDS_SUBKEY_OPTIONS = 23;  // "Options"
constexpr unsigned int IDS_SUBKEY_INBOX = 33;    // "Inbox"
constexpr unsigned int IDS_SUBKEY_OUTBOX = 34;   // "Outbox"
constexpr unsigned int IDS_KEY_DATA = 127;       // "SOFTWARE\Kelvane\Mireth\Data" (whole path)
constexpr unsigned int IDS_SERVICE_CENTER = 25;  // "Service Center" (CSV header of SMSSCA.csv)
constexpr unsigned int IDS_VAL_SERVICE_CENTER = IDS_SERVICE_CENTER;  // same text, Options value
constexpr unsigned int IDS_VAL_OUT_SORT_COLUMN = 76;                 // "Sort Column" (Outbox key)
constexpr unsigned int IDS_VAL_IN_SORT_COLUMN = 77;                  // "Sort Column" (Inbox key)
constexpr unsigned int IDS_VAL_OUT_SORT_ORDER = 78;                  // "Sort Order"  (Outbox key)
constexpr unsigned int IDS_VAL_IN_SORT_ORDER = 79;                   // "Sort Order"  (Inbox key)

// ---------------------------------------------------------------------------------
// Data folder derivation
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_PROGRAM_FOLDER = 125;    // "Program"
constexpr unsigned int IDS_DATA_FOLDER_NAME = 130;  // "SMSData"
constexpr unsigned int IDS_HOST_EXE = 131;          // "HVDesktop.Exe"

// ---------------------------------------------------------------------------------
// List column headings (also the registry value names of the column widths)
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_COL_IN_FROM = 2;        // "From"
constexpr unsigned int IDS_COL_IN_NUMBER = 3;      // "Number"
constexpr unsigned int IDS_COL_IN_DATE_TIME = 4;   // "Date and Time"
constexpr unsigned int IDS_COL_IN_STORAGE = 52;    // "Storage"
constexpr unsigned int IDS_COL_OUT_TO = 6;         // "To"
constexpr unsigned int IDS_COL_OUT_NUMBER = 7;     // "Number"
constexpr unsigned int IDS_COL_OUT_STATUS = 8;     // "Status"
constexpr unsigned int IDS_COL_OUT_DATE_TIME = 9;  // "Date and Time"
constexpr unsigned int IDS_COL_OUT_STORAGE = 46;   // "Storage"

// ---------------------------------------------------------------------------------
// Status and storage words of a message
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_STATUS_SENT = 35;                // 1 "Sent"
constexpr unsigned int IDS_STATUS_UNSENT = 142;             // 2 "Unsent"
constexpr unsigned int IDS_STATUS_STORED = 143;             // 3 "Stored"
constexpr unsigned int IDS_STATUS_AT_SERVICE_CENTER = 144;  // 4 "At Service Center"
constexpr unsigned int IDS_STATUS_PENDING = 38;             // 5 "Pending"
constexpr unsigned int IDS_STATUS_ERROR = 37;               // 6 "Error"
constexpr unsigned int IDS_STATUS_INVALID = 36;             // other "Invalid"
constexpr unsigned int IDS_STORAGE_PHONE = 48;              // 1 "Phone"
constexpr unsigned int IDS_STORAGE_SIM = 49;                // 2 "SIM"
constexpr unsigned int IDS_STORAGE_UNKNOWN = 47;            // other "Unknown"

// ---------------------------------------------------------------------------------
// Store files
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_FILE_SMSIN = 101;     // "SMSIn.Dat"
constexpr unsigned int IDS_FILE_SMSOUT = 102;    // "SMSOut.Dat"
constexpr unsigned int IDS_FILE_SMSADD = 103;    // "SMSAdd.Dat"
constexpr unsigned int IDS_FILE_SMSSCA = 109;    // "SMSSCA.Dat"
constexpr unsigned int IDS_FILE_SMSLIST = 114;   // "SMSList.Dat"
constexpr unsigned int IDS_UNABLE_TO_SAVE = 55;  // "Unable to Save " (trailing blank)

// ---------------------------------------------------------------------------------
// Pages: numbered message-box and pane texts
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_REPLY_CHARGES = 43;  // "Will accept reply charges"
constexpr unsigned int IDS_CONFIRM_DELETE_SELECTED =
    57;  // "Are you sure you want to delete the selected message(s)?"
constexpr unsigned int IDS_INFO_NOT_AVAILABLE = 108;     // "Information not available."
constexpr unsigned int IDS_NO_NEW_INCOMING = 110;        // "There are no new incoming messages on the phone."
constexpr unsigned int IDS_IN_MULTIPLE_SELECTION = 112;  // "Multiple Selection" (Inbox)
constexpr unsigned int IDS_OUT_MULTIPLE_SELECTION = 113;  // "Multiple Selection" (Outbox)
constexpr unsigned int IDS_CONFIRM_DELETE_ALL =
    120;  // "Are you sure you want to delete all messages on the phone?\r\n..."
constexpr unsigned int IDS_NO_NEW_OUTGOING =
    151;  // "There are no new outgoing messages on the phone to retrieve."
constexpr unsigned int IDS_COM_PORT_REMINDER =
    154;  // "Before sending SMS messages, you must select ...\r\nCOM port ..."
constexpr unsigned int IDS_SELECT_COM_PORT_FIRST =
    156;  // "You need to select a valid COM port before you can refresh ..."
constexpr unsigned int IDS_NOT_AVAILABLE = 157;  // "Not available"

// Default presets, appended in this order
constexpr unsigned int IDS_PRESET_1 = 115;  // "Happy Birthday!"
constexpr unsigned int IDS_PRESET_2 = 116;  // "I received your message. Thank you."
constexpr unsigned int IDS_PRESET_3 = 117;  // "Could you please give me a call?"
constexpr unsigned int IDS_PRESET_4 = 118;  // "What are your plans for the weekend?"
constexpr unsigned int IDS_PRESET_5 = 119;  // "What time is our meeting?"

// ---------------------------------------------------------------------------------
// Error dialog paragraphs (by phone status code, see errors/ErrorTexts.cpp)
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_ERR_NO_RESPONSE = 59;  // "Phone did not return any information. ..."
constexpr unsigned int IDS_ERR_SEND_FAILED = 60;  // "There is an error in sending the message. ..."
constexpr unsigned int IDS_ERR_PHONE_NOT_READY =
    61;  // "The phone is not ready for sending and receiving messages."
constexpr unsigned int IDS_ERR_NO_MEMORY =
    62;  // "There is not sufficient memory. ...  and try again." (two blanks)
constexpr unsigned int IDS_ERR_NO_MEMORY_2 = 63;       // the same text as 62
constexpr unsigned int IDS_ERR_SERIAL_PORT = 64;       // "There is an error in the serial port. ..."
constexpr unsigned int IDS_ERR_COMMAND_NOT_SENT = 65;  // "Could not send the command. Please try again."
constexpr unsigned int IDS_ERR_PHONE_ERROR = 66;       // "Phone returned an error. ..."
constexpr unsigned int IDS_ERR_MESSAGE_FORMAT = 67;    // "The message is in an incorrect format ..."
constexpr unsigned int IDS_ERR_COM_PORT_PROBLEM = 68;  // "The COM port has problem. ..."
constexpr unsigned int IDS_ERR_COMMAND_FORMAT = 69;    // "The issued command is in an incorrect format. ..."
constexpr unsigned int IDS_ERR_NO_SMS_SUPPORT = 70;  // "The phone does not support mobile terminated or ..."
constexpr unsigned int IDS_ERR_SETUP_FAILED = 71;    // "Set up failed. Please try again."
constexpr unsigned int IDS_ERR_EXECUTION_FAILED = 72;  // "Execution of the command failed. ..."
constexpr unsigned int IDS_ERR_NO_MESSAGES = 73;  // "There is no incoming or outgoing message on the phone."
constexpr unsigned int IDS_ERR_NOT_IMPLEMENTED = 74;   // "You may not be able to do this because ..."
constexpr unsigned int IDS_ERR_TIMED_OUT = 75;         // "The Phone has timed-out. ..."
constexpr unsigned int IDS_ERR_STORAGE_NOT_SET = 104;  // "The message storage could not be set now."
constexpr unsigned int IDS_ERR_STORAGE_UNKNOWN = 105;  // "The message storage is unknown. ..."
constexpr unsigned int IDS_ERR_SCA_UNKNOWN = 106;      // "The Service Center Address is unknown."
constexpr unsigned int IDS_ERR_NO_COM_PORT = 133;      // "There is no available COM port. ..."
constexpr unsigned int IDS_ERR_BAUD_RATE = 134;        // "The baud rate cannot be changed. ..."
constexpr unsigned int IDS_ERR_HINT_CONNECTION =
    135;  // "This error can also be caused by an incorrect connection ... " (trailing blank)
constexpr unsigned int IDS_ERR_HINT_SEVERED = 136;  // "This error can also be caused by a severed link ..."
constexpr unsigned int IDS_ERR_HINT_RESTART_PHONE =
    137;  // "You may also want to turn off and turn on the phone ..."
constexpr unsigned int IDS_ERR_HINT_NO_LINK =
    138;  // "This error can be caused by a failure to establish ..."
constexpr unsigned int IDS_ERR_HINT_SEVERED_2 = 139;  // the same text as 136
constexpr unsigned int IDS_ERR_HINT_SEVERED_SCA =
    140;  // "This error can be caused by a severed link ... Service Center Address ..."
constexpr unsigned int IDS_ERR_HINT_SCA_PORT = 141;  // "Some of the possible trouble-shooting methods ..."
constexpr unsigned int IDS_ERROR_CODE = 146;         // "Error Code: " (trailing blank)
constexpr unsigned int IDS_ERR_UNKNOWN = 147;        // "An unknown error occurred. " (trailing blank)
constexpr unsigned int IDS_ERR_NO_FURTHER_INFO =
    148;  // "No further information is available about this error at this time."
constexpr unsigned int IDS_ERR_SUGGESTED =
    149;  // "Suggested trouble-shooting:\r\n\tRestart the computer\r\n\t..."

// ---------------------------------------------------------------------------------
// Archive-error causes 1-7 (cause 0 has no text)
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_ARCHERR_GENERIC = 81;      // "Unspecified Error"
constexpr unsigned int IDS_ARCHERR_READ_ONLY = 82;    // "Tried to write into an archive opened for loading"
constexpr unsigned int IDS_ARCHERR_END_OF_FILE = 83;  // "Reached the end of file while reading an object"
constexpr unsigned int IDS_ARCHERR_WRITE_ONLY = 84;   // "Tried to read from an archive opened for storing"
constexpr unsigned int IDS_ARCHERR_BAD_INDEX = 85;    // "Invalid file format"
constexpr unsigned int IDS_ARCHERR_BAD_CLASS =
    86;  // "Tried to read an object into an object of the wrong type"
constexpr unsigned int IDS_ARCHERR_BAD_SCHEMA =
    87;  // "Tried to read an object with different version of the class"

// ---------------------------------------------------------------------------------
// File-error causes 1-6 and 9-14 (causes 7 and 8 have no text)
// ---------------------------------------------------------------------------------
constexpr unsigned int IDS_FILEERR_GENERIC = 88;        // "An unspecified error occurred"
constexpr unsigned int IDS_FILEERR_NOT_FOUND = 89;      // "The file could not be located"
constexpr unsigned int IDS_FILEERR_BAD_PATH = 90;       // "All or part of teh path is invalid"
constexpr unsigned int IDS_FILEERR_TOO_MANY_OPEN = 91;  // "The permitted number of files was exceeded"
constexpr unsigned int IDS_FILEERR_ACCESS_DENIED = 92;  // "The file could not be accessed"
constexpr unsigned int IDS_FILEERR_INVALID_FILE = 93;  // "There was an attempt to use an invalid file handle"
constexpr unsigned int IDS_FILEERR_BAD_SEEK = 94;      // "There was an error trying to set the file pointer"
constexpr unsigned int IDS_FILEERR_HARD_IO = 95;       // "There was a hardware error"
constexpr unsigned int IDS_FILEERR_SHARING_VIOLATION = 96;  // "There is a file sharing violation"
constexpr unsigned int IDS_FILEERR_LOCK_VIOLATION =
    97;  // "There was an attempt to lock a region that was already locked"
constexpr unsigned int IDS_FILEERR_DISK_FULL = 98;    // "The disk is full. Please make more free space ..."
constexpr unsigned int IDS_FILEERR_END_OF_FILE = 99;  // "The end of file was reached"

// =================================================================================
// Texts numbered from 1000 up
// =================================================================================

// 1000-1009 shell: plug-in name, tab texts (the pages' dialog captions)
constexpr unsigned int IDS_PLUGIN_NAME = 1000;   // "Mireth"
constexpr unsigned int IDS_PAGE_COMPOSE = 1001;  // "Compose"
constexpr unsigned int IDS_PAGE_INBOX = 1002;    // "Inbox"
constexpr unsigned int IDS_PAGE_OUTBOX = 1003;   // "Outbox"
constexpr unsigned int IDS_PAGE_OPTIONS = 1004;  // "Options"

// 1010-1029 registry value names without a historic number
// (Options key; "Service Center" is IDS_VAL_SERVICE_CENTER = 25 above)
constexpr unsigned int IDS_VAL_COM_PORT = 1010;           // "COM Port"
constexpr unsigned int IDS_VAL_BAUD_RATE = 1011;          // "Baud Rate"
constexpr unsigned int IDS_VAL_TIME_OUT = 1012;           // "Time Out"
constexpr unsigned int IDS_VAL_DELETE_FROM_PHONE = 1013;  // "Delete From Phone"
constexpr unsigned int IDS_VAL_MESSAGE_VALIDITY = 1014;   // "Message Validity"
constexpr unsigned int IDS_VAL_STORAGE = 1015;            // "Storage"
constexpr unsigned int IDS_VAL_REPLY_CHARGES = 1016;      // "Reply Charges"
// (Data key)
constexpr unsigned int IDS_VAL_DATA_FOLDER = 1020;    // "Data Folder"
constexpr unsigned int IDS_VAL_EXPORT_TO_CSV = 1021;  // "Export To CSV"
constexpr unsigned int IDS_VAL_INSTALL_DIR = 1022;    // "InstallDir"

// 1030-1039 further keys
constexpr unsigned int IDS_KEY_PORTS = 1030;  // "SOFTWARE\Kelvane\Mireth\Ports" (COM name -> device)

// 1050-1079 settings store: damaged-file report and the reasons it names
// IDS_SETTINGS_DAMAGED: %1 the file, %2 the line number, %3 the reason, %4 where it went
constexpr unsigned int IDS_SETTINGS_DAMAGED = 1050;
// IDS_SETTINGS_DAMAGED_KEPT: the same when the file could not be moved aside
// (%1 file, %2 line, %3 reason); settings are then not saved until it is repaired
constexpr unsigned int IDS_SETTINGS_DAMAGED_KEPT = 1051;
// IDS_SETTINGS_UNREADABLE / _UNWRITABLE: %1 the file, %2 the reason in words
constexpr unsigned int IDS_SETTINGS_UNREADABLE = 1052;
constexpr unsigned int IDS_SETTINGS_UNWRITABLE = 1053;
constexpr unsigned int IDS_SETTINGS_NOT_A_FILE = 1054;      // the reason for a pipe or device
constexpr unsigned int IDS_REGERR_HEADER = 1060;            // first line is not the export header
constexpr unsigned int IDS_REGERR_BAD_LINE = 1061;          // neither key, value, comment nor blank
constexpr unsigned int IDS_REGERR_BAD_KEY = 1062;           // key line malformed / outside HKEY_CURRENT_USER
constexpr unsigned int IDS_REGERR_VALUE_BEFORE_KEY = 1063;  // value line before any key line
constexpr unsigned int IDS_REGERR_BAD_NAME = 1064;          // value name not closed / bad escape
constexpr unsigned int IDS_REGERR_UNTERMINATED = 1065;      // text value without its closing quote
constexpr unsigned int IDS_REGERR_BAD_ESCAPE = 1066;        // backslash not followed by \ or "
constexpr unsigned int IDS_REGERR_BAD_DWORD = 1067;         // dword: not 1-8 hex digits
constexpr unsigned int IDS_REGERR_BAD_TYPE = 1068;          // a value type other than text or dword
constexpr unsigned int IDS_REGERR_TRAILING = 1069;          // text after a value
constexpr unsigned int IDS_REGERR_NUL = 1070;               // a NUL byte in the file
constexpr unsigned int IDS_REGERR_UTF16 = 1071;             // a UTF-16 file that does not decode
constexpr unsigned int IDS_REGERR_CONTINUATION = 1072;      // binary value continued past the end

// 1100-1199 store files and CSV copies
constexpr unsigned int IDS_CSV_HEADER_OUTBOX = 1100;   // "To,Number,Date and Time,Storage,Status,Message\r\n"
constexpr unsigned int IDS_CSV_HEADER_INBOX = 1101;    // "From,Number,Date and Time,Storage,Message\r\n"
constexpr unsigned int IDS_CSV_HEADER_ADDRESS = 1102;  // "Name,Phone Number\r\n"
constexpr unsigned int IDS_EXT_CSV = 1110;             // ".csv"
constexpr unsigned int IDS_EXT_DAT = 1111;             // ".Dat"

// 1200-1299 Compose page
constexpr unsigned int IDS_MSG_SENT =
    1200;  // "The message has been sent. A copy of the message can be found in the Outbox."
constexpr unsigned int IDS_MSG_STORED =
    1201;  // "The message has been stored on the phone so that you can send it from the phone later."
constexpr unsigned int IDS_QUERY_CANCEL_COMPOSE =
    1202;  // "You are in the middle of composing a message. ...\r\nAre you sure you want to exit?"
constexpr unsigned int IDS_QUERY_DELETE_ADDRESS =
    1203;  // "Do you want to delete this name and number from the list?"
constexpr unsigned int IDS_ONE_CHARACTER = 1204;  // "1 Character in the message"
constexpr unsigned int IDS_N_CHARACTERS = 1205;   // " Characters in the message" (leading blank)
constexpr unsigned int IDS_MAX_CHARACTERS =
    1206;  // "You have reached the maximum number of characters you can enter"
constexpr unsigned int IDS_NO_NAME = 1207;    // "No Name"  (pair added from the form)
constexpr unsigned int IDS_NONAME = 1208;     // "NoName"   (stored entry loaded without a name)
constexpr unsigned int IDS_CMD_SEND = 1209;   // "AT+CMGS="
constexpr unsigned int IDS_CMD_STORE = 1210;  // "AT+CMGW="
// dialog 129 texts
constexpr unsigned int IDS_LBL_NAME = 1220;             // "&Name"
constexpr unsigned int IDS_LBL_NUMBER = 1221;           // "N&umber"
constexpr unsigned int IDS_LBL_PRESET = 1222;           // "Select a p&reset message or type a message:"
constexpr unsigned int IDS_LBL_CHARACTER_COUNT = 1223;  // "Character Count Goes Here"
constexpr unsigned int IDS_BTN_SEND = 1224;             // "&Send"
constexpr unsigned int IDS_LBL_LIFETIME = 1225;         // "Message Lifetime:"
constexpr unsigned int IDS_RB_MOBILE_PHONE = 1226;      // "Mobile Phone"
constexpr unsigned int IDS_RB_SIM_CARD = 1227;          // "SIM Card"
constexpr unsigned int IDS_GRP_STORE_IN = 1228;         // "Store Messages in:"
constexpr unsigned int IDS_CHK_ACCEPT_REPLY = 1229;     // "&Accept reply charges"
constexpr unsigned int IDS_BTN_CLEAR = 1230;            // "&Clear"
// Message-lifetime list, index 0-8 (Compose 1036 and Options 1016)
constexpr unsigned int IDS_LIFETIME_NONE = 1250;                // "None"
constexpr unsigned int IDS_LIFETIME_1_HOUR = 1251;              // "1 Hour"
constexpr unsigned int IDS_LIFETIME_2_HOURS = 1252;             // "2 Hours"
constexpr unsigned int IDS_LIFETIME_3_HOURS = 1253;             // "3 Hours"
constexpr unsigned int IDS_LIFETIME_4_HOURS = 1254;             // "4 Hours"
constexpr unsigned int IDS_LIFETIME_5_HOURS = 1255;             // "5 Hours"
constexpr unsigned int IDS_LIFETIME_6_HOURS = 1256;             // "6 Hours"
constexpr unsigned int IDS_LIFETIME_1_DAY = 1257;               // "1 Day"
constexpr unsigned int IDS_LIFETIME_1_WEEK = 1258;              // "1 Week"
constexpr unsigned int IDS_LIFETIME_FIRST = IDS_LIFETIME_NONE;  // item i is IDS_LIFETIME_FIRST + i
constexpr unsigned int NUM_LIFETIMES = 9;

// 1300-1399 Inbox page, dialog 130 texts
constexpr unsigned int IDS_LBL_RECEIVED = 1300;      // "Received messages:"
constexpr unsigned int IDS_BTN_GET_MESSAGES = 1301;  // "&Get messages"
constexpr unsigned int IDS_BTN_IN_DELETE = 1302;     // "&Delete"

// 1400-1499 Outbox page, dialog 131 texts
constexpr unsigned int IDS_LBL_OUTGOING = 1400;    // "Outgoing (sent) and stored messages:"
constexpr unsigned int IDS_BTN_RETRIEVE = 1401;    // "Re&trieve"
constexpr unsigned int IDS_BTN_RESEND_NOW = 1402;  // "&Resend now"
constexpr unsigned int IDS_BTN_OUT_DELETE = 1403;  // "&Delete"

// 1500-1599 Options page, dialog 132 texts
constexpr unsigned int IDS_LBL_SERVICE_CENTER = 1500;   // "&Service center:"
constexpr unsigned int IDS_LBL_COM_PORTS = 1501;        // "&COM Ports:"
constexpr unsigned int IDS_LBL_BAUD_RATE = 1502;        // "&Baud rate:"
constexpr unsigned int IDS_LBL_TIME_OUT = 1503;         // "&Time-out in"
constexpr unsigned int IDS_LBL_SECONDS = 1504;          // "seconds."
constexpr unsigned int IDS_LBL_ATTEMPT_TO_SEND = 1505;  // "&Attempt to send (default):"
constexpr unsigned int IDS_RB_OPT_MOBILE_PHONE = 1506;  // "Mobile &Phone"
constexpr unsigned int IDS_RB_OPT_SIM = 1507;           // "S&IM"
constexpr unsigned int IDS_LBL_STORE_ON = 1508;         // "Store messages on:"
constexpr unsigned int IDS_CHK_DELETE_FROM_PHONE =
    1509;  // "Delete &messages from the phone if they are deleted from the desktop"
constexpr unsigned int IDS_BTN_DELETE_ALL = 1510;        // "&Delete all messages on the phone"
constexpr unsigned int IDS_CHK_OPT_ACCEPT_REPLY = 1511;  // "Accept reply charges"
constexpr unsigned int IDS_LBL_MODEL = 1512;             // "Model:"
constexpr unsigned int IDS_LBL_VERSION = 1513;           // "Version:"
constexpr unsigned int IDS_LBL_MANUFACTURER = 1514;      // "Manufacturer:"
constexpr unsigned int IDS_BTN_REFRESH = 1515;           // "&Refresh phone options"
constexpr unsigned int IDS_GRP_CONNECTION = 1516;        // "Connection"
constexpr unsigned int IDS_GRP_MESSAGE_OPTIONS = 1517;   // "Message options"
constexpr unsigned int IDS_GRP_PHONE_INFO = 1518;        // "Phone information"
// Baud-rate list 1022, index 0-8: item i is IDS_BAUD_FIRST + i
constexpr unsigned int IDS_BAUD_300 = 1520;     // "300"
constexpr unsigned int IDS_BAUD_1200 = 1521;    // "1200"
constexpr unsigned int IDS_BAUD_2400 = 1522;    // "2400"
constexpr unsigned int IDS_BAUD_4800 = 1523;    // "4800"
constexpr unsigned int IDS_BAUD_9600 = 1524;    // "9600"
constexpr unsigned int IDS_BAUD_19200 = 1525;   // "19200"
constexpr unsigned int IDS_BAUD_38400 = 1526;   // "38400"
constexpr unsigned int IDS_BAUD_57600 = 1527;   // "57600"
constexpr unsigned int IDS_BAUD_115200 = 1528;  // "115200"
constexpr unsigned int IDS_BAUD_FIRST = IDS_BAUD_300;
constexpr unsigned int NUM_BAUD_RATES = 9;
// Time-out list 1052, index 0-59: item i is IDS_TIMEOUT_FIRST + i, text "1" to "60"
constexpr unsigned int IDS_TIMEOUT_FIRST = 1530;  // "1" ... 1589 "60"
constexpr unsigned int NUM_TIMEOUTS = 60;

// 1600-1699 error dialog 150 texts
constexpr unsigned int IDS_ERRDLG_TITLE = 1600;     // "SMS Error"
constexpr unsigned int IDS_ERRDLG_HEADING = 1601;   // "Please read the following error message(s)."
constexpr unsigned int IDS_ERRDLG_PICTURE = 1602;   // "Picture goes here"
constexpr unsigned int IDS_ERRDLG_FIRST = 1603;     // "First paragraph of the error message goes here"
constexpr unsigned int IDS_ERRDLG_SECOND = 1604;    // "Second paragraph of the error message goes here"
constexpr unsigned int IDS_ERRDLG_THIRD = 1605;     // "Third paragraph of the error emssage goes here"
constexpr unsigned int IDS_ERRDLG_CODE = 1606;      // "The error code goes here"
constexpr unsigned int IDS_ERRDLG_CONTINUE = 1607;  // "Click here to continue"

// 1700-1799 texts of the window's own: the Compose counter's second line, the
// progress of long phone work, and the phone that went away
constexpr unsigned int IDS_PARTS_PREFIX = 1700;       // "Goes as "
constexpr unsigned int IDS_PARTS_SUFFIX = 1701;       // " messages"
constexpr unsigned int IDS_PARTS_UCS2 = 1702;         // "Goes in UCS2 (Unicode)"
constexpr unsigned int IDS_PARTS_IN_UCS2 = 1703;      // " in UCS2 (Unicode)"
constexpr unsigned int IDS_STAGE_SETUP = 1710;        // "Setting up the phone"
constexpr unsigned int IDS_STAGE_READ_SIM = 1711;     // "Reading messages from the SIM card"
constexpr unsigned int IDS_STAGE_READ_PHONE = 1712;   // "Reading messages from the phone memory"
constexpr unsigned int IDS_STAGE_READ = 1713;         // "Reading messages from the phone"
constexpr unsigned int IDS_STAGE_SEND = 1714;         // "Sending the message"
constexpr unsigned int IDS_STAGE_DELETE = 1715;       // "Deleting messages on the phone"
constexpr unsigned int IDS_STAGE_COUNT = 1716;        // "%1: %2 of %3"
constexpr unsigned int IDS_STAGE_DONE = 1717;         // "%1: %2"
constexpr unsigned int IDS_TASK_GET_MESSAGES = 1720;  // "Getting messages from the phone..."
constexpr unsigned int IDS_TASK_RETRIEVE = 1721;      // "Retrieving messages from the phone..."
constexpr unsigned int IDS_TASK_SEND = 1722;          // "Sending the message..."
constexpr unsigned int IDS_TASK_DELETE = 1723;        // "Deleting messages on the phone..."
constexpr unsigned int IDS_TASK_DELETE_ALL = 1724;    // "Deleting all messages on the phone..."
constexpr unsigned int IDS_TASK_REFRESH = 1725;       // "Reading the phone's options..."
constexpr unsigned int IDS_TASK_STOPPING = 1726;      // "Stopping after the current step..."
constexpr unsigned int IDS_TASK_CANCEL = 1727;        // "Cancel"
constexpr unsigned int IDS_TASK_RECONNECT = 1728;     // "Connecting to the phone again..."
constexpr unsigned int IDS_ERR_HINT_VANISHED =
    1730;  // "The phone is not answering or has been unplugged. ..."
