#pragma once
// What the stand-ins of the platform tools do: note that they were started, and end.

namespace nxtool {

inline constexpr char kToolLogPath[] = "\\NXTOOLS.LOG";

// Appends one line to the device file \NXTOOLS.LOG: the file name the program was started as,
// then, when there is one, a space and its command line (the arguments joined by spaces). The
// line goes out in one append, so tools started at the same time never mix their lines.
// Returns the exit code: 0, or 1 after a message on standard error.
int AppendToolLine(int argc, char** argv);

}  // namespace nxtool
