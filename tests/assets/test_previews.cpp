// Preview bitmaps of palette images: the cache, drawing, progress.
#include <QImage>

#include "assetbytes.h"
#include "qvx/assets/image_library.h"
#include "testutil.h"
#include "toolkit/graphics.h"
#include "toolkit/picture.h"

using namespace assetbytes;
using namespace testutil;
using qvx::TQVXImageLib;

namespace {

// Palette entry i = (i, 255 - i, i / 2): entry 0 is green, not black.
// Image 0 is 3 x 2 with indices 0 1 2 / 3 4 5; image 1 is 2 x 1 with 9 9.
Bytes Library() {
    Bytes b = ImlHeader("IL10", 2);
    Put32(b, 3), Put32(b, 2), PutName(b, "six", 12);
    for (uint8_t v : {0, 1, 2, 0xEE, 3, 4, 5, 0xEF}) b.push_back(v);
    Put32(b, 2), Put32(b, 1), PutName(b, "two", 12);
    for (uint8_t v : {9, 9, 0, 0}) b.push_back(v);
    return b;
}

QRgb Entry(int i) { return qRgb(i, 255 - i, i / 2); }

// Draws image `index` at (1, 1) on a white 8 x 6 canvas.
QImage Drawn(TQVXImageLib& lib, int index) {
    QImage target(8, 6, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        tk::TCanvas canvas(&target);
        lib.DrawImage(canvas, 1, 1, index);
    }
    return target;
}

struct RecordingProgress : qvx::IProgressSink {
    std::vector<std::string> calls;
    void SetMin(int v) override { calls.push_back("min " + std::to_string(v)); }
    void SetMax(int v) override { calls.push_back("max " + std::to_string(v)); }
    void SetPosition(int v) override { calls.push_back("pos " + std::to_string(v)); }
};

}  // namespace

TEST(ImagePreviews, IndexZeroIsBlackAndRowsRunTopDown) {
    TQVXImageLib lib(nullptr);
    LoadBytes(*lib.Images(), Library());
    for (bool cached : {false, true}) {
        if (cached) lib.CreateBitmaps();
        QImage img = Drawn(lib, 0);
        EXPECT_EQ(img.pixel(1, 1), qRgb(0, 0, 0)) << cached;  // index 0, palette entry 0 is green
        EXPECT_EQ(img.pixel(2, 1), Entry(1)) << cached;
        EXPECT_EQ(img.pixel(3, 1), Entry(2)) << cached;
        EXPECT_EQ(img.pixel(1, 2), Entry(3)) << cached;  // the second stored row is below
        EXPECT_EQ(img.pixel(3, 2), Entry(5)) << cached;
        EXPECT_EQ(img.pixel(4, 1), qRgb(255, 255, 255)) << cached;  // pad bytes are not drawn
        EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255)) << cached;
    }
    std::unique_ptr<tk::TBitmap> preview = lib.CreatePreview(1);
    EXPECT_EQ(preview->Width(), 2);
    EXPECT_EQ(preview->Height(), 1);
}

TEST(ImagePreviews, IndicesOutsideTheLibraryDrawNothing) {
    TQVXImageLib lib(nullptr);
    QImage blank(8, 6, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_EQ(Drawn(lib, 0), blank);  // empty library
    LoadBytes(*lib.Images(), ImlHeader("IL10", 0));
    EXPECT_EQ(Drawn(lib, 0), blank);
    LoadBytes(*lib.Images(), Library());
    for (bool cached : {false, true}) {
        if (cached) lib.CreateBitmaps();
        EXPECT_EQ(Drawn(lib, 2), blank);  // index equal to Count
        EXPECT_EQ(Drawn(lib, -1), blank);
    }
}

TEST(ImagePreviews, CreateBitmapsReportsProgressAndBuildsOnce) {
    TQVXImageLib lib(nullptr);
    LoadBytes(*lib.Images(), Library());
    RecordingProgress progress;
    lib.ProgressBar = &progress;
    lib.CreateBitmaps();
    EXPECT_TRUE(lib.BitmapsCreated());
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"min 0", "max 1", "pos 0", "pos 1"}));
    lib.CreateBitmaps();  // already built: nothing happens
    EXPECT_EQ(progress.calls.size(), 4u);
    lib.FreeBitmaps();
    EXPECT_FALSE(lib.BitmapsCreated());
    lib.FreeBitmaps();
}

TEST(ImagePreviews, CacheFollowsTheImages) {
    std::string dir = TempDir("previews");
    std::string path = dir + "/lib.iml", bad = dir + "/bad.iml";
    Bytes one = ImlHeader("IL10", 1);
    Put32(one, 1), Put32(one, 1), PutName(one, "red", 12);
    for (uint8_t v : {7, 0, 0, 0}) one.push_back(v);
    tk::WriteFileBytes(path, one.data(), one.size());
    Bytes notLib = ImlHeader("XXXX", 0);
    tk::WriteFileBytes(bad, notLib.data(), notLib.size());

    TQVXImageLib lib(nullptr);
    LoadBytes(*lib.Images(), Library());
    lib.CreateBitmaps();
    // Loading through the component while the cache is built leaves a cache
    // for the new images.
    lib.LoadFromFile(path);
    EXPECT_TRUE(lib.BitmapsCreated());
    EXPECT_EQ(Drawn(lib, 0).pixel(1, 1), Entry(7));
    EXPECT_EQ(Drawn(lib, 1).pixel(1, 1), qRgb(255, 255, 255));

    // Images replaced behind the component's back: the stale cache is not drawn.
    LoadBytes(*lib.Images(), Library());
    EXPECT_EQ(Drawn(lib, 1).pixel(1, 1), Entry(9));
    lib.CreateBitmaps();  // rebuilt for the images as they are now
    EXPECT_EQ(Drawn(lib, 1).pixel(2, 1), Entry(9));

    // A failed load: no file name, no cache.
    EXPECT_EQ(MessageOf([&] { lib.LoadFromFile(bad); }), "Not a valid Image Library File");
    EXPECT_FALSE(lib.HasFileName());
    EXPECT_FALSE(lib.BitmapsCreated());
    EXPECT_EQ(lib.Count(), 0);
    std::filesystem::remove_all(dir);
}
