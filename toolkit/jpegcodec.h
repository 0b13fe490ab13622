// JPEG header reading and decoding through libjpeg. Errors come back as
// libjpeg's message code; callers raise "JPEG error #%d" with it.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tk::jpeg {

struct HeaderInfo {
    int width = 0;
    int height = 0;
};

// Reads the header only. Returns 0, or libjpeg's error code.
int ReadHeader(const uint8_t* data, size_t size, HeaderInfo& info);

// Decodes the pixels into a Format_RGB32 image. Raises EJPEG on a libjpeg
// error (and for a picture far larger than its data could hold),
// EOutOfMemory when the image cannot be allocated.
QImage Decode(const uint8_t* data, size_t size);
// The same, also giving the message code of libjpeg's first warning (0
// when there was none): damaged data that still decoded in part.
QImage Decode(const uint8_t* data, size_t size, int* warning);

// libjpeg's code for "image too big", used by the size guard above.
int ImageTooBigCode();

// libjpeg's own text for a message code ("Not a JPEG file: starts with
// 0x%02x 0x%02x", its number fields left as they are), or "" for none.
std::string MessageText(int code);

}  // namespace tk::jpeg
