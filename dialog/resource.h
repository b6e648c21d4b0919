#pragma once
// Resource ids of the measurement dialog: its template, its icon and its controls.

inline constexpr int IDD_MEASURE = 102;
inline constexpr int IDI_MEASURE = 128;

inline constexpr int IDC_FIRMWARE_LABEL = 101;
inline constexpr int IDC_MEASURE = 1000;
inline constexpr int IDC_STOP = 1001;
inline constexpr int IDC_HZ_ANGLE = 1002;
inline constexpr int IDC_ZENITH_ANGLE = 1003;
inline constexpr int IDC_SLOPE_DISTANCE = 1004;
inline constexpr int IDC_SETUP_TOOL = 1005;
inline constexpr int IDC_UNIT_DEGREE = 1006;
inline constexpr int IDC_UNIT_GON = 1007;
inline constexpr int IDC_UNIT_MIL = 1008;
inline constexpr int IDC_CANCEL_BUTTON = 1009;
inline constexpr int IDC_CONFIRM = 1010;
inline constexpr int IDC_SHORTCUT_TOOL = 1011;
