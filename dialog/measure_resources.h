#pragma once
// The measurement dialog's resources as data: dialog template 102 and icon 128.

#include "platform/dialog.h"
#include "platform/window.h"

// Template 102 exactly as the dialog is laid out: title, font, styles and the 18 controls in
// template order (which is also the tab order and decides the radio group).
const win::DialogTemplate& MeasureDialogTemplate();

// Icon 128: a 32x32 and a 16x16 image, 16 colours each.
const win::IconResource& MeasureIcon();

// Makes both resources known to the platform under their ids. Safe to call any number of
// times; CMeasureDlg calls it on construction, so a program that uses the dialog always has
// its resources.
void RegisterMeasureResources();
