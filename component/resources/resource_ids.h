// Identifiers of the component's resources: the string table of built-in
// profile texts and the settings dialog with its controls.
#pragma once

#include "platform/win32_types.h"

// Profile texts, one per built-in preset. The ids are not in preset order.
inline constexpr UINT IDS_PROFILE_CBR_64K = 1;
inline constexpr UINT IDS_PROFILE_CBR_80K = 2;
inline constexpr UINT IDS_PROFILE_CBR_96K = 3;
inline constexpr UINT IDS_PROFILE_CBR_128K = 4;
inline constexpr UINT IDS_PROFILE_CBR_160K = 5;
inline constexpr UINT IDS_PROFILE_CBR_192K = 6;
inline constexpr UINT IDS_PROFILE_CBR_32K = 7;
inline constexpr UINT IDS_PROFILE_CBR_48K = 8;
inline constexpr UINT IDS_PROFILE_LOSSLESS = 9;

// The settings dialog and the controls that code addresses.
inline constexpr WORD IDD_WMA_SETTINGS = 116;
inline constexpr WORD IDC_QUALITY_SLIDER = 1000;
inline constexpr WORD IDC_PRESET_NAME = 1001;
inline constexpr WORD IDC_PRESET_DESCRIPTION = 1003;
inline constexpr WORD IDC_CUSTOM_PROFILE = 1004;
inline constexpr WORD IDC_LOAD_PROFILE = 1005;
