#pragma once
// The link to the measurement program: free functions over the globals below, used only on the
// user-interface thread. Kernel objects are none (nullptr) when not held.

#include <cstdint>

#include "platform/win_types.h"

extern win::DWORD g_measThreadId;
extern win::UINT g_msgDataChange;
extern win::UINT g_msgSetEdmMode;
extern win::UINT g_msgSetParameter;
extern win::UINT g_msgConfParameter;
extern win::UINT g_msgListParameter;
extern win::UINT g_msgTiltOver;
extern win::UINT g_msgSysError;
extern win::HANDLE g_measSection;
extern std::uint8_t* g_measView;  // the live 120-byte record
extern win::HANDLE g_measMutex;

// Finds or starts the measurement program, registers the seven names, opens the section and the
// mutex. On false one message box has been shown and nothing is held.
bool ConnectMeasSystem();

// Finds (or launches) the measurement program and sets g_measThreadId. Shows nothing.
bool FindMeasSystemThread();

// The steps of ConnectMeasSystem after the thread search: registers the seven names, opens
// the section, its view and the mutex. On false one message box has been shown and nothing
// is held. Tests and tools that play the measurement program in the same process call it to
// get the link as ConnectMeasSystem leaves it, over a record of their own.
bool OpenMeasResources();

// Releases the view, then the section, then the mutex. Safe when nothing or part is held, and
// any number of times.
void DisconnectMeasSystem();

// Copies the 120 shared bytes into destination under the mutex. An abandoned or failed wait
// copies nothing: destination keeps what it held.
void ReadMeasRecord(void* destination);

// Posts "NXSETEDMMODE" / "NXSETPARAMETER" / "NXCONFPARAMETER" to g_measThreadId with the two
// values as wParam and lParam; returns the post's success flag.
win::BOOL PostEdmCommand(std::int32_t code, std::int32_t value);
win::BOOL PostSetParameter(std::int32_t parameter, std::int32_t value);
win::BOOL PostConfParameter(std::int32_t parameter, std::int32_t value);
