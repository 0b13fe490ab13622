// The screen's picture surfaces: library loaders, freeing, restoring lost
// surfaces, the palette and palette cycling.
#include <algorithm>
#include <exception>

#include "dxerror.h"
#include "qvx/assets/image_library.h"
#include "screen.h"
#include "toolkit/picture.h"

namespace qvx {

TQVXSurface* TQVXScreen::ImageSurfaces(int index) const {
    return index >= 0 && index < ImageCount() ? FImageSet.surfaces[static_cast<size_t>(index)].get() : nullptr;
}

TQVXSurface* TQVXScreen::TileSurfaces(int index) const {
    return index >= 0 && index < TileCount() ? FTileSet.surfaces[static_cast<size_t>(index)].get() : nullptr;
}

void TQVXScreen::TSurfaceSet::Clear() {
    surfaces.clear();
    surfaces.shrink_to_fit();
    paletteLib = nullptr;
    hiColorLib = nullptr;
}

void TQVXScreen::FreeImageSurfaces() { FImageSet.Clear(); }

void TQVXScreen::FreeTileSurfaces() { FTileSet.Clear(); }

// Records that `set` was just filled, and the palette its pictures were
// drawn through (at 8 bits their pixels depend on it).
void TQVXScreen::Filled(TSurfaceSet& set) {
    set.loadedAt = ++FLoads;
    set.drawnThroughPalette = ColorDepth == 8 && FPaletteObject;
    set.palette = FPalette;
}

// ---- Hi-colour library ------------------------------------------------------------------

void TQVXScreen::LoadHiColorLib(TQVXHiColorImagelib* library) {
    // Before start-up there is no DirectDraw object to make surfaces with; a
    // linked library that loads a file then leaves the set to start-up.
    if (!FDirectDraw) return;
    if (!library || library->Count() == 0) return;
    FreeImageSurfaces();
    FImageSet.hiColorLib = library;
    library->FreeNotification(this);
    Filled(FImageSet);
    int n = library->Count();
    auto& set = FImageSet.surfaces;
    set.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const tk::TPicture& picture = library->Images()->Items(i)->Image();
        // A picture without pixels keeps its place in the set with no
        // surface, so later indices still match the library.
        if (picture.Width() <= 0 || picture.Height() <= 0) continue;
        auto surface = std::make_unique<TQVXSurface>(FDirectDraw.Get(), picture.Width(),
                                                     picture.Height(), ColorDepth);
        TQVXSurface* s = surface.get();
        set[static_cast<size_t>(i)] = std::move(surface);
        s->OnSurfaceLost = [this](tk::TObject* o) { SurfaceLost(o); };
        s->Canvas->Draw(0, 0, *picture.Graphic());
        s->Canvas->ReleaseHandle();
        s->SetColorKey(0);
    }
    if (PaletteMode == TPaletteMode::pmNormal) {
        for (int i = 0; i < n; ++i) {
            TQVXSurface* s = set[static_cast<size_t>(i)].get();
            if (!s) continue;
            s->Canvas->StretchDraw(s->Canvas->ClipRect(),
                                   *library->Images()->Items(i)->Image().Graphic());
            s->Canvas->ReleaseHandle();
        }
    }
}

// ---- Palette image libraries --------------------------------------------------------

void TQVXScreen::LoadImageLib(TQVXImageLib* library, bool applyPalette) {
    LoadPaletteLib(library, applyPalette, false);
}

void TQVXScreen::LoadTileLib(TQVXImageLib* library, bool applyPalette) {
    LoadPaletteLib(library, applyPalette, true);
}

void TQVXScreen::LoadPaletteLib(TQVXImageLib* library, bool applyPalette, bool tiles) {
    if (!FDirectDraw) return;  // not started: start-up loads the libraries
    TSurfaceSet& target = tiles ? FTileSet : FImageSet;
    target.Clear();
    if (!library) return;
    // Kept from here on, so that the next restore tries a load that fails
    // part way again.
    target.paletteLib = library;
    library->FreeNotification(this);
    // A library from a file may have given its images to earlier surfaces:
    // it reads them again here, or raises the file's error.
    library->Data().Need();
    if (library->Count() == 0) {
        target.paletteLib = nullptr;
        return;
    }

    if (applyPalette && ColorDepth == 8) {
        tk::TPaletteEntry entries[256];
        const tk::TPaletteEntry* p = library->Images()->Palette();
        for (int i = 0; i < 256; ++i) entries[i] = {p[i].peRed, p[i].peGreen, p[i].peBlue, 0};
        SetPalette(entries);
    }
    Filled(target);

    int n = library->Count();
    auto& set = target.surfaces;
    set.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        TImgHdr hdr;
        library->Images()->GetImageHeader(i, hdr);
        if (hdr.Width <= 0 || hdr.Height <= 0) continue;  // keeps its index, no surface
        auto surface =
            std::make_unique<TQVXSurface>(FDirectDraw.Get(), hdr.Width, hdr.Height, ColorDepth);
        TQVXSurface* s = surface.get();
        set[static_cast<size_t>(i)] = std::move(surface);
        s->OnSurfaceLost = [this](tk::TObject* o) { SurfaceLost(o); };
        // The image goes through an off-screen bitmap with the library's
        // colours (index 0 black), mapped to the surface's format by drawing.
        if (s->Surface) {
            auto picture = library->CreatePreview(i);
            s->Canvas->Draw(0, 0, *picture);
            s->Canvas->ReleaseHandle();
        }
        s->SetColorKey(0);
        if (tiles) s->ClipRect = tk::Rect(0, 0, hdr.Width, hdr.Height);
    }
    if (PaletteMode == TPaletteMode::pmNormal) {
        for (int i = 0; i < n; ++i) {
            TQVXSurface* s = set[static_cast<size_t>(i)].get();
            if (!s) continue;
            auto picture = library->CreatePreview(i);
            s->Canvas->Draw(0, 0, *picture);
            s->Canvas->ReleaseHandle();
        }
    }
    // A file-backed library gives its pixels up: a restore reads the file.
    library->Data().Built();
}

// ---- Lost surfaces ----------------------------------------------------------------------

void TQVXScreen::RestoreSurface(TQVXSurface& surface, const char* failure) {
    HRESULT hr = surface.GetSurface()->Restore();
    if (hr == DD_OK) return;
    switch (hr) {
        case DDERR_GENERIC:
            SendTrace("Restore Failed: Generic");
            break;
        case DDERR_INVALIDOBJECT:
            SendTrace("Restore Failed: Invalid Object");
            break;
        case DDERR_NOEXCLUSIVEMODE:
            SendTrace("Restore Failed: No Exclusive");
            break;
        case DDERR_WRONGMODE:
            SendTrace("Restore Failed: Wrong Mode");
            break;
        default:
            SendTrace("Restore Failed: UnKnown");
            break;
    }
    throw EQVXScreen(failure);
}

// Loads `set` again from what filled it, through the palette it was drawn
// through then.
void TQVXScreen::ReloadSet(TSurfaceSet& set, bool tiles) {
    TQVXHiColorImagelib* hiColor = set.hiColorLib;
    TQVXImageLib* library = set.paletteLib;
    if (!hiColor && !library) return;
    if (set.drawnThroughPalette) InstallPalette(set.palette.data());
    if (hiColor)
        LoadHiColorLib(hiColor);
    else
        LoadPaletteLib(library, false, tiles);
}

void TQVXScreen::RestoreSurfaces() {
    if (!FFrontSurface) return;
    RestoreSurface(*FFrontSurface, msg::SRestoreFront);
    // The windowed back buffer is no part of the front's flip chain: left
    // lost, every later copy from it would fail and restore again.
    if (FWindowMode && FBackSurface && !FBackSurface->Attached)
        RestoreSurface(*FBackSurface, msg::SRestoreBack);
    // The sets are filled again in the order they were first filled, each
    // through its own palette; the palette last set goes back at the end,
    // attached again if the front surface ever refused it.
    // A step that fails does not keep the others from running; the first
    // failure is raised once all have run.
    const std::array<tk::TPaletteEntry, 256> last = FPalette;
    const bool tilesFirst = FTileSet.loadedAt < FImageSet.loadedAt;
    std::exception_ptr failure;
    auto attempt = [&failure](const auto& step) {
        try {
            step();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    };
    attempt([&] { ReloadSet(tilesFirst ? FTileSet : FImageSet, tilesFirst); });
    attempt([&] { ReloadSet(tilesFirst ? FImageSet : FTileSet, !tilesFirst); });
    attempt([&] {
        if (FPaletteObject && ColorDepth == 8) InstallPalette(last.data());
    });
    if (failure) std::rethrow_exception(failure);
}

// ---- Palette ----------------------------------------------------------------------------

void TQVXScreen::InstallPalette(const tk::TPaletteEntry* entries) {
    std::copy(entries, entries + 256, FPalette.begin());
    if (!FPaletteObject) {
        if (!FDirectDraw ||
            FDirectDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, FPalette.data(),
                                       FPaletteObject.Put(), nullptr) != DD_OK ||
            !FPaletteObject) {
            FPaletteObject.Reset();
            throw EQVXScreen(msg::SCreatePalette);
        }
        FPaletteAttached = false;
    }
    // A palette the front surface refused is offered again every time.
    if (!FPaletteAttached) {
        if (!FFrontSurface || FFrontSurface->GetSurface()->SetPalette(FPaletteObject.Get()) != DD_OK)
            throw EQVXScreen(msg::SSetPalette);
        FPaletteAttached = true;
    }
    if (FPaletteObject->SetEntries(0, 0, 256, FPalette.data()) != DD_OK) throw EQVXScreen(msg::SSetEntries);
}

void TQVXScreen::SetPalette(const tk::TPaletteEntry* entries) {
    if (ColorDepth != 8) return;
    InstallPalette(entries);
    // Cycling restarts from the palette as now installed.
    if (FCycleActive) {
        std::copy(FPalette.begin(), FPalette.end(), FCycleEntries.begin());
        FCycleOffset = 0;
    }
}

void TQVXScreen::SetPaletteCycle(int first, int last, int step, int delay) {
    FCycleFirst = std::clamp(std::min(first, last), 0, 255);
    FCycleLast = std::clamp(std::max(first, last), 0, 255);
    FCycleStep = step;
    FCycleDelay = std::max(delay, 0);
    FCycleCounter = 0;
    FCycleOffset = 0;
}

void TQVXScreen::StartPaletteCycle() {
    if (FCycleActive) return;
    // The first 256 cycle entries keep the palette as it was, so stopping
    // can put it back; the second half is the working copy.
    std::copy(FPalette.begin(), FPalette.end(), FCycleEntries.begin());
    FCycleCounter = 0;
    FCycleOffset = 0;
    FCycleActive = true;
}

void TQVXScreen::StopPaletteCycle() {
    if (!FCycleActive) return;
    FCycleActive = false;
    if (ColorDepth == 8 && FPaletteObject) SetPalette(FCycleEntries.data());
}

void TQVXScreen::CycleStep() {
    if (ColorDepth != 8 || !FPaletteObject || FCycleStep == 0) return;
    if (++FCycleCounter < FCycleDelay) return;
    FCycleCounter = 0;
    int len = FCycleLast - FCycleFirst + 1;
    if (len < 2) return;
    FCycleOffset = ((FCycleOffset + FCycleStep) % len + len) % len;
    tk::TPaletteEntry* work = FCycleEntries.data() + 256;
    std::copy(FCycleEntries.begin(), FCycleEntries.begin() + 256, work);
    for (int i = 0; i < len; ++i)
        work[FCycleFirst + i] =
            FCycleEntries[static_cast<size_t>(FCycleFirst + (i + FCycleOffset) % len)];
    std::copy(work, work + 256, FPalette.begin());
    if (FPaletteObject->SetEntries(0, 0, 256, work) != DD_OK) throw EQVXScreen(msg::SSetEntries);
}

}  // namespace qvx
