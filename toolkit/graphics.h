// Colours, device contexts, the drawing canvas and the picture kinds.
// Everything draws through TCanvas, whose target is a device context: an
// image in memory, or a context a display surface lends out.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classes.h"

namespace tk {

class TStream;
class TCanvas;

// 0x00BBGGRR; the high byte 0x02 marks a palette-relative colour, which maps
// to the nearest entry of the palette selected into the device context.
using TColor = uint32_t;
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (uint32_t(b) << 16); }
constexpr TColor PaletteRGB(uint8_t r, uint8_t g, uint8_t b) { return 0x02000000u | RGB(r, g, b); }
constexpr uint8_t GetRValue(TColor c) { return c & 0xFF; }
constexpr uint8_t GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr uint8_t GetBValue(TColor c) { return (c >> 16) & 0xFF; }
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clNavy = 0x800000, clBtnFace = 0xC0C0C0;
constexpr TColor clNone = 0x1FFFFFFF;

struct TPoint {
    int X = 0, Y = 0;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
};
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }

// 256 entries of (r, g, b, flags): a logical palette, as a device context
// selects it.
struct TPaletteEntry {
    uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
    bool operator==(const TPaletteEntry&) const = default;
};
using TLogPalette = std::vector<TPaletteEntry>;
// The entry nearest to (r, g, b) by squared RGB distance, lowest on ties.
int NearestPaletteIndex(std::span<const TPaletteEntry> palette, uint8_t r, uint8_t g, uint8_t b);

// A drawing target. Painting happens on Target(), an image in a format
// QPainter can draw on. A context may hold a selected logical palette;
// palette-relative colours are mapped through it.
class TDeviceContext {
public:
    virtual ~TDeviceContext() = default;
    virtual QImage* Target() = 0;
    TLogPalette SelectedPalette;
};

// Context over an image the caller owns (for bitmaps and tests).
class TImageDC : public TDeviceContext {
public:
    explicit TImageDC(QImage* image) : image_(image) {}
    QImage* Target() override { return image_; }

private:
    QImage* image_;
};

enum class TBrushStyle { bsSolid, bsClear, bsDiagCross, bsCross, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal };
enum class TPenStyle { psSolid, psDash, psDot, psClear };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
};
struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
};
struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;  // points
    TColor Color = clBlack;
    bool Bold = false;
};

class TGraphic;

// Drawing operations on a device context. The context is taken on the first
// drawing operation (CreateHandle, which subclasses override to borrow one)
// and given back with SetHandle(nullptr).
class TCanvas : public TPersistent {
public:
    TK_CLASSNAME(TCanvas)
    TCanvas() = default;
    // A canvas drawing on an image the caller keeps alive.
    explicit TCanvas(QImage* image);
    ~TCanvas() override;

    TDeviceContext* Handle();  // taking one if none is held
    void SetHandle(TDeviceContext* dc);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TBrush Brush;
    TPen Pen;
    TFont Font;
    TRect ClipRect();  // the whole target unless clipped

    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void Rectangle(const TRect& r);
    void Ellipse(const TRect& r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const TRect& r, const TGraphic& graphic);
    void DrawImage(const TRect& r, const QImage& image);  // for graphics and callers with images
    void SetPixel(int x, int y, TColor c);
    TColor GetPixel(int x, int y);

    // The painter on the current context (takes a handle if needed).
    QPainter& Painter();
    QColor ToQColor(TColor c);

protected:
    virtual void CreateHandle() {}

private:
    void EndPainter();
    std::unique_ptr<TImageDC> own_;
    TDeviceContext* dc_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    TPoint penPos_;
};

// ---- Pictures -------------------------------------------------------------------

// One picture kind's data. Graphics load from and save to their file form
// (LoadFromStream/SaveToStream) and to the property stream (ReadData/WriteData).
class TGraphic : public TPersistent {
public:
    TK_CLASSNAME(TGraphic)
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws into r (stretched when r differs from the picture's size).
    virtual void Draw(TCanvas& canvas, const TRect& r) const = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) const = 0;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    // Property-stream form: `size` bytes of this kind's data.
    virtual void ReadData(TStream& stream, int64_t size) = 0;
    virtual void WriteData(TStream& stream) const = 0;
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
    // True when both are of one kind and write the same data. Copies that
    // still share their data answer without comparing it.
    virtual bool SameData(const TGraphic& other) const;
};

}  // namespace tk
