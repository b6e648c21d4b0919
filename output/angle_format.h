#pragma once
// Angles and distances from the measurement record, as the texts the dialog shows and the
// result file carries.

#include <cstdint>

#include "framework/cstring.h"
#include "link/protocol/meas_record.h"

// The factors from arc seconds to the unit integers are these rounded decimals, not the exact
// ratios 10000/3240 and 1600/3240: the instrument's texts depend on it (90 degrees is 999999
// ten-thousandths of a gon, not 1000000).
inline constexpr double kArcSecondsToGon = 3.086419753;
inline constexpr double kArcSecondsToMil = 0.49382716;

// Arc seconds to the unit integer: unit 1 ten-thousandths of a gon, unit 2 hundredths of a
// mil (truncated toward zero); any other unit returns the angle unchanged. A gon value beyond
// the 32-bit range (angles from 695784702 arc seconds up, about the same down) saturates at
// INT32_MAX or INT32_MIN.
std::int32_t AngleToUnit(std::int32_t angle, int unitCode);

// Sets text to the display form of the angle in the unit (0 DMS, 1 gon, 2 mil); any other unit
// leaves text unchanged. isVertical 1 applies the zenith rule of the gon form. DMS shows the
// true degrees of every 32-bit angle, also beyond 32767 degrees.
void FormatAngle(std::int32_t angle, CString& text, int unitCode, int isVertical);

// Empties text while edmState is 2, sets it to the distance ("%.3f") when distanceValid is
// set, and otherwise leaves it as it was.
void FormatDistance(const MeasRecord& record, CString& text);
