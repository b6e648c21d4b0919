#pragma once
// The names and codes both sides of the link agree on with the measurement program.

#include <cstdint>

inline constexpr char16_t kMeasSectionName[] = u"NXMAP";
inline constexpr char16_t kMeasMutexName[] = u"NXMUTEX";
inline constexpr char16_t kMeasProgramName[] = u"NX.EXE";         // as the process list shows it
inline constexpr char16_t kMeasProgramPath[] = u"NEDIX\\NX.EXE";  // under g_installPath
inline constexpr char16_t kSetupToolPath[] = u"Nedix\\NxSetup.exe";
inline constexpr char16_t kShortcutToolPath[] = u"Nedix\\NxShortcut.EXE";
inline constexpr char16_t kShortcutToolCommandLine[] = u"/A";

// Registered message names.
inline constexpr char16_t kMsgDataChange[] = u"NXDATACHANGE";        // program -> dialog
inline constexpr char16_t kMsgSetEdmMode[] = u"NXSETEDMMODE";        // -> measurement thread
inline constexpr char16_t kMsgSetParameter[] = u"NXSETPARAMETER";    // -> measurement thread
inline constexpr char16_t kMsgConfParameter[] = u"NXCONFPARAMETER";  // -> measurement thread
inline constexpr char16_t kMsgListParameter[] = u"NXLISTPARAMETER";  // program -> dialog
inline constexpr char16_t kMsgTiltOver[] = u"NXTILTOVER";            // program -> dialog
inline constexpr char16_t kMsgSysError[] = u"NXSYSERROR";            // registered only

// "NXSETEDMMODE" command codes (wParam).
inline constexpr std::int32_t kEdmMeasure = 30;      // "Misura"
inline constexpr std::int32_t kEdmMeasureOnce = 25;  // unattended distance run
inline constexpr std::int32_t kEdmStop = 17;         // "Ferma", or the dialog going away

// Parameter numbers (wParam of "NXSETPARAMETER", "NXCONFPARAMETER", "NXLISTPARAMETER").
inline constexpr std::int32_t kParamAngleUnit = 11;
inline constexpr std::int32_t kParamVersion59 = 59;
inline constexpr std::int32_t kParamVersion58 = 58;
inline constexpr std::int32_t kParamVersion57 = 57;
inline constexpr std::int32_t kParamVersion56 = 56;

// edmState values.
inline constexpr std::int8_t kEdmStateMeasuring = 2;  // the distance is shown empty
