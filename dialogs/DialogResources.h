// The font dialogs' templates and the font-type bitmap, as resources of the
// dialog layer.
#pragma once

#include "TamselRes.h"
#include "mfc/afxres.h"

// Registers the module's templates and bitmaps with the dialog layer; runs
// when the library loads, and again harmlessly.
void RegisterFontDialogResources();
