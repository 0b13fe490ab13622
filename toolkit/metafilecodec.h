// Metafiles: header checks and a renderer for the records drawings commonly
// use (enhanced metafiles and placeable Windows metafiles), onto a QPainter.
#pragma once

#include <QPainter>
#include <QRect>
#include <cstddef>
#include <cstdint>

namespace tk::mf {

struct Info {
    bool enhanced = false;
    int width = 0;   // pixels at 96 dots per inch
    int height = 0;
};

// Checks the header (" EMF" header record, or the placeable metafile
// header with its checksum, followed by a metafile header). Raises
// EInvalidGraphic "Metafile is not valid".
Info Parse(const uint8_t* data, size_t size);

// Plays the records into `target` on the painter. Records it does not know
// are passed over; a damaged record ends playing. Never reads outside the
// data. The painter's state is restored afterwards.
void Render(QPainter& painter, const QRect& target, const uint8_t* data, size_t size);

}  // namespace tk::mf
