// Picture kinds: bitmap, JPEG, icon, metafile, and TPicture, which holds
// one of them. Copies share their data (as QImage does), so copying or
// exchanging pictures costs nothing until one of them changes.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bytes.h"
#include "graphics.h"

namespace tk {

// A bitmap as held in memory. The image's format tells the bit depth it is
// written back with: Indexed8 with a colour table of up to 256 entries
// (1-, 4- and 8-bit files load as Indexed8 and remember their depth),
// RGB555 (16-bit, written plain) or RGB16 (16-bit 5-6-5, written with
// bit-field masks), RGB888 or BGR888 (24-bit), RGB32 (32-bit). Other
// formats given to SetImage become RGB32 (Mono and Grayscale8: Indexed8).
class TBitmap : public TGraphic {
public:
    TK_CLASSNAME(TBitmap)
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;
    // BMP files: core or info headers, 1/4/8/16/24/32 bits per pixel,
    // bit-field masks, bottom-up or top-down. Bad data raises
    // "Bitmap image is not valid".
    void LoadFromStream(TStream& stream) override;
    // Writes a BMP file from the bitmap as held in memory.
    void SaveToStream(TStream& stream) const override;
    // Property-stream form: 32-bit byte count, then a BMP file.
    void ReadData(TStream& stream, int64_t size) override;
    void WriteData(TStream& stream) const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool SameData(const TGraphic& other) const override;
    void Assign(const TPersistent& source) override;

    const QImage& Image() const;
    void SetImage(QImage image, int bitsPerPixel = 0);  // 0: from the image's format
    int BitsPerPixel() const;
    // The logical palette given with the device bitmap (AssignDIB); empty
    // when none.
    const TLogPalette& Palette() const;
    void SetPalette(TLogPalette palette);
    void SetSize(int width, int height);  // keeps the format (RGB32 when empty)
    // A canvas on the bitmap's pixels. Drawing on an indexed bitmap first
    // turns it into a 32-bit one, as drawing on a device bitmap would.
    TCanvas& Canvas();
    void ReleaseCanvas();  // gives back the canvas's painter

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A JPEG picture: the file's bytes are kept and written back unchanged; the
// header is read at load (width and height known), pixels are decoded on
// the first draw. libjpeg errors raise "JPEG error #%d".
class TJPEGImage : public TGraphic {
public:
    TK_CLASSNAME(TJPEGImage)
    TJPEGImage();
    ~TJPEGImage() override;
    TJPEGImage(const TJPEGImage& other);
    TJPEGImage& operator=(const TJPEGImage& other);

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;
    void LoadFromStream(TStream& stream) override;  // the rest of the stream
    void SaveToStream(TStream& stream) const override;
    void ReadData(TStream& stream, int64_t size) override;  // 32-bit count, bytes
    void WriteData(TStream& stream) const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool SameData(const TGraphic& other) const override;
    void Assign(const TPersistent& source) override;

    const TBytes& Bytes() const;
    void SetBytes(TBytes bytes);  // reads the header
    // Decoded pixels (decoding now if not yet done).
    const QImage& Decoded() const;
    bool IsDecoded() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

// An icon (.ico): bytes kept exactly; width and height of its first image.
class TIcon : public TGraphic {
public:
    TK_CLASSNAME(TIcon)
    TIcon();
    ~TIcon() override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    void ReadData(TStream& stream, int64_t size) override;  // `size` bytes, no count
    void WriteData(TStream& stream) const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool SameData(const TGraphic& other) const override;
    void Assign(const TPersistent& source) override;
    const TBytes& Bytes() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

// A metafile: enhanced (" EMF") or placeable Windows metafile; bytes kept
// exactly; size from its header.
class TMetafile : public TGraphic {
public:
    TK_CLASSNAME(TMetafile)
    TMetafile();
    ~TMetafile() override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    void ReadData(TStream& stream, int64_t size) override;  // count incl. itself, bytes
    void WriteData(TStream& stream) const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool SameData(const TGraphic& other) const override;
    void Assign(const TPersistent& source) override;
    bool Enhanced() const;
    const TBytes& Bytes() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

// Holds one graphic of any kind, or none. Copying shares the data.
class TPicture : public TPersistent {
public:
    TK_CLASSNAME(TPicture)
    TPicture();
    ~TPicture() override;
    TPicture(const TPicture& other);
    TPicture& operator=(const TPicture& other);

    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(const TGraphic* graphic);  // a copy; null empties
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    bool Empty() const { return !graphic_ || graphic_->Empty(); }
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    TBitmap& Bitmap();  // makes the picture a bitmap if it is not one

    // The kind comes from the extension, without regard to case: bmp;
    // jpg, jpeg; ico; emf, wmf. Others raise
    // "Unknown picture file extension (.%s)".
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    void Assign(const TPersistent& source) override;
    // "Data": short-string kind name, then the kind's data.
    void DefineProperties(TFiler& filer) override;
    void ReadPictureData(TStream& stream, int64_t size);
    void WritePictureData(TStream& stream) const;
    void Clear() { graphic_.reset(); }
    void Exchange(TPicture& other) noexcept { graphic_.swap(other.graphic_); }
    // True when both hold no graphic, or graphics with the same data.
    bool SameData(const TPicture& other) const;

private:
    std::unique_ptr<TGraphic> graphic_;
};

// Picture kinds by property-stream class name ("TBitmap", "TJPEGImage",
// "TIcon", "TMetafile"); null for an unknown name.
std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className);

}  // namespace tk
