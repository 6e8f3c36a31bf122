// The framework's standard command IDs and the IDs of its own strings.
#pragma once

#include "platform/WinTypes.h"

// Commands.
inline constexpr UINT ID_FILE_NEW = 57600;
inline constexpr UINT ID_FILE_OPEN = 57601;
inline constexpr UINT ID_FILE_SAVE = 57603;
inline constexpr UINT ID_FILE_PRINT = 57607;
inline constexpr UINT ID_EDIT_COPY = 57634;
inline constexpr UINT ID_APP_ABOUT = 57664;
inline constexpr UINT ID_APP_EXIT = 57665;
inline constexpr UINT ID_HELP_FINDER = 57667;
inline constexpr UINT ID_DEFAULT_HELP = 57671;
inline constexpr UINT ID_VIEW_STATUS_BAR = 59393; // also the status bar's control ID

// Status bar indicators: the pane shows the ID's string while the key state is on.
inline constexpr UINT ID_SEPARATOR = 0; // the message pane
inline constexpr UINT ID_INDICATOR_CAPS = 59137;
inline constexpr UINT ID_INDICATOR_NUM = 59138;
inline constexpr UINT ID_INDICATOR_SCRL = 59139;
inline constexpr UINT ID_INDICATOR_KANA = 59142;

// Strings.
inline constexpr UINT IDS_APP_TITLE = 57344;
inline constexpr UINT IDS_IDLE_MESSAGE = 57345;
inline constexpr UINT IDS_UNTITLED = 61443;
inline constexpr UINT IDS_PARSE_INT = 61712;
inline constexpr UINT IDS_PARSE_INT_RANGE = 61714;
inline constexpr UINT IDS_OPEN_DOCUMENT_FAILED = 61720; // %1: the document's path
