// What every window of the editor shares: its font and its pictures.
#pragma once

#include <QFont>

namespace slideshelf {

// The windows' font: 8 points in the nearest sans-serif face to the one the
// layout was drawn with (narrow faces first, so texts fit their panels).
QFont FormFont();

// Registers the button pictures (compiled into this library) once.
void EnsureResources();

}  // namespace slideshelf
