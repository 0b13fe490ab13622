// What every window of the editor shares: its font.
#pragma once

#include <QFont>

namespace slideshelf {

// The windows' font: 8 points in the nearest sans-serif face to the one the
// layout was drawn with.
QFont FormFont();

}  // namespace slideshelf
