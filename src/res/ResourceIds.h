// IDs of the application's own resources and commands: the main menu, the accelerator
// table, dialog templates with their controls, and the menu commands.
#pragma once

#include "platform/WinTypes.h"

// Main menu, accelerator table, application icon and document string.
inline constexpr UINT IDR_MAINFRAME = 128;

// Version information dialog.
inline constexpr UINT IDD_ABOUTBOX = 100;
inline constexpr int IDC_VERSION_TEXT = 1000;
inline constexpr int IDC_COPYRIGHT_TEXT = 1001;

// Capture file size dialog.
inline constexpr UINT IDD_FILE_SIZE = 130;
inline constexpr int IDC_AVAILABLE_SIZE = 1002;
inline constexpr int IDC_FILE_SIZE = 1003;

// Parameter settings dialog.
inline constexpr UINT IDD_PARAMETERS = 133;
inline constexpr int IDC_FRAMES_PER_SECOND = 1004;
inline constexpr int IDC_LIMIT_ENABLED = 1005;
inline constexpr int IDC_TIME_LIMIT = 1006;
inline constexpr int IDC_CAPTURE_AUDIO = 1007;
inline constexpr int IDC_TIME_LIMIT_UNIT = 1008;

// Save-still dialog: the JPEG quality group below the file dialog's own controls.
inline constexpr UINT IDD_JPEG_QUALITY = 135;
inline constexpr int IDC_JPEG_HIGH = 1009;
inline constexpr int IDC_JPEG_MEDIUM = 1010;
inline constexpr int IDC_JPEG_LOW = 1011;

// The dialog that waits for the shutter switch.
inline constexpr UINT IDD_SHUTTER_WAIT = 136;

// The capture window inside the view.
inline constexpr int IDC_CAPTURE_WINDOW = 12345;

// Menu and program commands.
inline constexpr UINT ID_CAPTURE_FILE_SETTING = 32771;
inline constexpr UINT ID_SAVE_STILL = 32772;
inline constexpr UINT ID_IMAGE_FORMAT = 32774;
inline constexpr UINT ID_VIDEO_INPUT = 32775;
inline constexpr UINT ID_VIDEO_DISPLAY = 32776;
inline constexpr UINT ID_AUDIO_FORMAT = 32777;
inline constexpr UINT ID_PARAMETER_SETTINGS = 32778;
inline constexpr UINT ID_OVERLAY = 32779;
inline constexpr UINT ID_PREVIEW = 32780;
inline constexpr UINT ID_CAPTURE_FILE_SIZE = 32786;
inline constexpr UINT ID_SAVE_MOVIE = 32787;
inline constexpr UINT ID_SHOW_CAPTURE_FILE_NAME = 32790;
inline constexpr UINT ID_PLACE_CAPTURE_WINDOW = 32792;
inline constexpr UINT ID_RECORD = 32793;
inline constexpr UINT ID_DISPLAY_STILL = 32794;
inline constexpr UINT ID_STOP_RECORDING = 32795;
inline constexpr UINT ID_SELECT_DRIVER_FIRST = 32800;
inline constexpr UINT ID_SELECT_DRIVER_LAST = 32809;
inline constexpr UINT ID_CONTINUOUS_SAVE = 32810;
inline constexpr UINT ID_SHUTTER_SAVE = 32811;
