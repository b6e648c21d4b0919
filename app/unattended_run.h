#pragma once
// The unattended runs: the measurement dialog created without a message loop and driven by the
// shell itself, which fetches the record by calling the dialog's window procedure directly.

class CMeasureDlg;

// Creates the dialog modeless; with measureDistance starts a distance measurement and polls up
// to 100 times at 100 ms until the distance text is neither "0.000" nor empty, otherwise takes
// the record once; then writes the result file and destroys the dialog window (which stops a
// distance meter still active).
void RunUnattendedMeasurement(CMeasureDlg& dialog, bool measureDistance);
