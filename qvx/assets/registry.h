// The asset library components by class name.
#pragma once

namespace qvx {

// Registers TQVXImageLib, TQVXSoundLib and TQVXMapLib with the class
// registry, so form data can create them by name. Each unit also registers
// its own class when it is linked in; this call is for programs that make
// the components only from form data. Safe to call more than once.
void RegisterAssetComponents();

}  // namespace qvx
