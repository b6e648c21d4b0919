#pragma once
// What the dialog's fuzz targets share: this process on a temporary device of its own, the
// headless renderer, and the link pointed at an in-process record. Commands go to a thread id
// that has no queue, so every post fails quietly, as after the measurement program has gone;
// the platform tools' folder holds nothing, so every tool start fails quietly too.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "dialog/measure_dlg.h"
#include "link/protocol/meas_record.h"

namespace nxfuzz {

// Once per process; later calls do nothing. The device and its runtime folder are removed when
// the process exits normally.
void SetUpDialogWorld();

// The shared record the link copies from: the given bytes (at most 120), zero after them.
void SetSharedRecord(std::span<const std::uint8_t> bytes);

// The bytes of a device file ("\VLMIS.OUT"), or nullopt when there is none; the file is
// removed, so that the next input starts without it.
std::optional<std::string> TakeDeviceFile(const char16_t* devicePath);

// Checks a result file the dialog wrote: exactly 100 bytes, and, when its line fits (49 code
// units at most), a well-formed line whose fields are the expected ones.
void CheckResultFile(const std::string& bytes, std::span<const std::u16string> fields);

// Checks that the dialog's controls show its members: the three edits their strings, the
// radio group at most one button, the one that m_nAngleUnit names.
void CheckControlsMatchMembers(const CMeasureDlg& dialog);

}  // namespace nxfuzz
