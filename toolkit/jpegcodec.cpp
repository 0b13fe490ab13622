#include "jpegcodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "sysutils.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace tk::jpeg {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not
// return. We jump back to the setjmp in Run() below; no C++ object with a
// destructor is alive in the frames the jump crosses (only libjpeg's own C
// frames and Run's, which holds plain pointers). The exception is raised by
// the caller after Run has returned.
struct ErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int warning = 0;  // the first warning's message code
};

void OnErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1); }
// Warnings: corrupt data is decoded as far as it goes; the first is kept
// for callers that check data rather than show it.
void OnEmitMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
    if (level < 0 && err->warning == 0) err->warning = cinfo->err->msg_code > 0 ? cinfo->err->msg_code : -1;
}
void OnOutputMessage(j_common_ptr) {}     // nothing goes to stderr

constexpr int kAllocFailed = -1;
constexpr int kTooBig = -2;

// Everything Run touches lives here, in the caller's frame, so nothing
// Run changes sits in a register across the longjmp.
struct Job {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool decode = false;
    int width = 0;
    int height = 0;
    // Gives the destination rows; null when the image cannot be had.
    uint8_t* (*alloc)(void* ctx, int w, int h, size_t* stride) = nullptr;
    void* ctx = nullptr;
    int error = 0;
};

// Largest picture we agree to decode: what its data could plausibly hold
// (very flat progressive images compress extremely well), and never more
// than 2^28 pixels (1 GiB at 32 bits).
bool WithinDecodeLimit(uint64_t pixels, size_t dataSize) {
    const uint64_t plausible = std::max<uint64_t>(uint64_t(dataSize) * 4096u, uint64_t(1) << 24);
    return pixels <= std::min<uint64_t>(plausible, uint64_t(1) << 28);
}

void CmykRowToRgb32(const JSAMPLE* s, uint8_t* t, JDIMENSION w, bool inverted) {
    for (JDIMENSION x = 0; x < w; ++x, s += 4, t += 4) {
        unsigned c = s[0], m = s[1], y = s[2], k = s[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        t[0] = static_cast<uint8_t>(y * k / 255);  // blue
        t[1] = static_cast<uint8_t>(m * k / 255);  // green
        t[2] = static_cast<uint8_t>(c * k / 255);  // red
        t[3] = 0xFF;
    }
}

int Run(Job* job) {
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = OnErrorExit;
    job->err.pub.emit_message = OnEmitMessage;
    job->err.pub.output_message = OnOutputMessage;
    if (setjmp(job->err.jump)) {
        job->error = job->err.pub.msg_code;
        if (job->error <= 0) job->error = JERR_BAD_STRUCT_SIZE;  // never report success by accident
        jpeg_destroy_decompress(&job->cinfo);
        return job->error;
    }
    jpeg_create_decompress(&job->cinfo);
    jpeg_mem_src(&job->cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(&job->cinfo, TRUE);
    job->width = static_cast<int>(job->cinfo.image_width);
    job->height = static_cast<int>(job->cinfo.image_height);
    if (!job->decode) {
        jpeg_destroy_decompress(&job->cinfo);
        return 0;
    }
    if (!WithinDecodeLimit(uint64_t(job->cinfo.image_width) * job->cinfo.image_height, job->size)) {
        jpeg_destroy_decompress(&job->cinfo);
        return job->error = kTooBig;
    }
    const bool cmyk = job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK;
    job->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    job->cinfo.mem->max_memory_to_use = 1L << 30;
    jpeg_start_decompress(&job->cinfo);
    size_t stride = 0;
    uint8_t* rows = job->alloc(job->ctx, static_cast<int>(job->cinfo.output_width),
                               static_cast<int>(job->cinfo.output_height), &stride);
    if (!rows) {
        jpeg_destroy_decompress(&job->cinfo);
        return job->error = kAllocFailed;
    }
    JSAMPARRAY tmp = cmyk ? (*job->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&job->cinfo), JPOOL_IMAGE,
                                                            job->cinfo.output_width * 4, 1)
                          : nullptr;
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        uint8_t* target = rows + size_t(job->cinfo.output_scanline) * stride;
        JSAMPROW row = cmyk ? tmp[0] : target;
        if (jpeg_read_scanlines(&job->cinfo, &row, 1) != 1) break;  // suspended: no more data
        if (cmyk) CmykRowToRgb32(tmp[0], target, job->cinfo.output_width, job->cinfo.saw_Adobe_marker);
    }
    jpeg_abort_decompress(&job->cinfo);  // finishing would only check trailing markers
    jpeg_destroy_decompress(&job->cinfo);
    return 0;
}

uint8_t* AllocImage(void* ctx, int w, int h, size_t* stride) {
    auto* image = static_cast<QImage*>(ctx);
    *image = QImage(w, h, QImage::Format_RGB32);
    if (image->isNull()) return nullptr;
    image->fill(0xFF808080);  // rows a truncated file never reaches stay grey
    *stride = static_cast<size_t>(image->bytesPerLine());
    return image->bits();
}

}  // namespace

int ImageTooBigCode() { return JERR_IMAGE_TOO_BIG; }

int ReadHeader(const uint8_t* data, size_t size, HeaderInfo& info) {
    Job job;
    job.data = data;
    job.size = size;
    int rc = Run(&job);
    if (rc == 0) {
        info.width = job.width;
        info.height = job.height;
    }
    return rc;
}

QImage Decode(const uint8_t* data, size_t size) { return Decode(data, size, nullptr); }

QImage Decode(const uint8_t* data, size_t size, int* warning) {
    QImage image;
    Job job;
    job.data = data;
    job.size = size;
    job.decode = true;
    job.alloc = AllocImage;
    job.ctx = &image;
    const int rc = Run(&job);
    if (rc == kAllocFailed) throw EOutOfMemory(msg::SOutOfMemory);
    if (rc == kTooBig) throw EJPEG(Format(msg::SJPEGError, JERR_IMAGE_TOO_BIG));
    if (rc != 0) throw EJPEG(Format(msg::SJPEGError, rc));
    if (warning) *warning = job.err.warning;
    return image;
}

std::string MessageText(int code) {
    jpeg_error_mgr err;
    std::memset(&err, 0, sizeof err);
    jpeg_std_error(&err);
    if (code <= 0 || code > err.last_jpeg_message || !err.jpeg_message_table[code]) return {};
    return err.jpeg_message_table[code];
}

}  // namespace tk::jpeg
