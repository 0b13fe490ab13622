// Window-system services that have no Qt counterpart of their own.
#pragma once

#include "toolkit/graphics.h"

namespace winsys {

// Copies `count` entries of the system palette, starting at `start`, into
// `out`. Linux has no system palette, so this holds the usual 20 static
// colours at 0-9 and 246-255 and black in between. Returns entries copied.
int GetSystemPaletteEntries(int start, int count, tk::TPaletteEntry* out);

}  // namespace winsys
