// DrawPaletteGrid: a palette as 16 x 16 colour cells.
#include "bmputil.h"

namespace bmputil {

void DrawPaletteGrid(tk::TCanvas& canvas, int left, int top, const TLibPalette& palette, int cell) {
    tk::TLogPalette logPal(256);
    for (int i = 0; i < 256; ++i)
        logPal[i] = tk::TPaletteEntry{palette[i].Red, palette[i].Green, palette[i].Blue, 0};
    tk::TDeviceContext* dc = canvas.Handle();
    tk::TLogPalette previous = std::move(dc->SelectedPalette);
    dc->SelectedPalette = std::move(logPal);
    try {
        for (int r = 0; r < 16; ++r) {
            for (int c = 0; c < 16; ++c) {
                const TLibPalEntry& e = palette[r * 16 + c];
                canvas.Brush.Color = tk::PaletteRGB(e.Red, e.Green, e.Blue);
                if (canvas.Brush.Style == tk::TBrushStyle::bsClear)
                    canvas.Brush.Style = tk::TBrushStyle::bsSolid;
                const int x = left + cell * c, y = top + cell * r;
                canvas.FillRect(tk::Rect(x, y, x + cell - 2, y + cell - 2));
            }
        }
    } catch (...) {
        dc->SelectedPalette = std::move(previous);
        throw;
    }
    dc->SelectedPalette = std::move(previous);
}

}  // namespace bmputil
