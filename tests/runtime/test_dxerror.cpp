// Result-code texts, the EDirectX message and the trace channel.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QThread>
#include <atomic>
#include <filesystem>

#include "platform/ddraw/ddraw.h"
#include "qvx/runtime/dxerror.h"
#include "platform/winsys/winsys.h"

using namespace qvx;

namespace {

// Trace lines from other programs running beside these tests (other test
// runs, the demo with tracing on) must not reach the listener below, nor
// ours theirs: this process finds windows in a runtime folder of its own.
struct PrivateRuntimeFolder {
    PrivateRuntimeFolder() {
        char name[] = "/tmp/qvx-runtime-tests-XXXXXX";
        if (::mkdtemp(name)) {
            path = name;
            ::setenv("XDG_RUNTIME_DIR", name, 1);
        }
    }
    ~PrivateRuntimeFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    std::string path;
} privateRuntimeFolder;

TEST(DirectXErrorText, ZeroAndUnknown) {
    EXPECT_EQ(DirectXErrorText(0), "No error");
    EXPECT_EQ(DirectXErrorText(static_cast<HRESULT>(0x87654321)), "Unrecognized Error");
    EXPECT_EQ(DirectXErrorText(12345), "Unrecognized Error");
}

TEST(DirectXErrorText, TablesInOrder) {
    EXPECT_EQ(DirectXErrorText(MAKE_DDHRESULT(700)), "D3DERR_BADMAJORVERSION");
    EXPECT_EQ(DirectXErrorText(MAKE_DDHRESULT(725)), "D3DERR_TEXTURE_LOAD_FAILED");
    EXPECT_EQ(DirectXErrorText(DDERR_GENERIC), "Generic failure.");
    EXPECT_EQ(DirectXErrorText(DDERR_UNSUPPORTED), "Action not supported.");
    EXPECT_EQ(DirectXErrorText(static_cast<HRESULT>(0x88780096)),  // the sound buffer-lost code
              "The buffer memory has been lost and must be restored.");
    EXPECT_EQ(DirectXErrorText(MAKE_DDHRESULT(861)), "File is not a DirectX file.");
    EXPECT_EQ(DirectXErrorText(-2), "One of the required source files could not be found.");
    // Codes several components share get the first table's text.
    EXPECT_EQ(DirectXErrorText(E_INVALIDARG), DirectDrawErrorText(E_INVALIDARG));
    EXPECT_EQ(DirectXErrorText(E_NOINTERFACE), DirectInputErrorText(E_NOINTERFACE));
    EXPECT_EQ(DirectPlayErrorText(E_NOINTERFACE), "The interface is not supported.");
    EXPECT_EQ(DirectSetupErrorText(1), "Setup was successful and a restart is required.");
    EXPECT_EQ(DirectXErrorText(1), DirectInputErrorText(1));
    EXPECT_EQ(DirectInputErrorText(0), "The operation completed successfully.");
    for (auto table : {Direct3DErrorText, DirectDrawErrorText, DirectInputErrorText, DirectPlayErrorText,
                       DirectSetupErrorText, DirectSoundErrorText, DirectXFileErrorText})
        EXPECT_EQ(table(0x7FFF0001), "Unrecognized Error");
    EXPECT_EQ(Direct3DErrorText(DDERR_SURFACELOST), "Unrecognized Error");
}

TEST(DirectXErrorText, EveryDirectDrawCodeHasASentence) {
    for (HRESULT code :
         {DDERR_ALREADYINITIALIZED, DDERR_CANNOTATTACHSURFACE, DDERR_CURRENTLYNOTAVAIL, DDERR_EXCEPTION,
          DDERR_INVALIDCAPS, DDERR_INVALIDMODE, DDERR_INVALIDOBJECT, DDERR_INVALIDPIXELFORMAT, DDERR_INVALIDRECT,
          DDERR_LOCKEDSURFACES, DDERR_NOCLIPLIST, DDERR_NOCOOPERATIVELEVELSET, DDERR_NOCOLORKEY,
          DDERR_NOEXCLUSIVEMODE, DDERR_NOTFOUND, DDERR_OVERLAPPINGRECTS, DDERR_OUTOFMEMORY, DDERR_OUTOFVIDEOMEMORY,
          DDERR_COLORKEYNOTSET, DDERR_SURFACEBUSY, DDERR_SURFACELOST, DDERR_TOOBIGSIZE, DDERR_INVALIDSTREAM,
          DDERR_WASSTILLDRAWING, DDERR_INVALIDDIRECTDRAWGUID, DDERR_PRIMARYSURFACEALREADYEXISTS,
          DDERR_CLIPPERISUSINGHWND, DDERR_HWNDSUBCLASSED, DDERR_HWNDALREADYSET, DDERR_NOPALETTEATTACHED,
          DDERR_BLTFASTCANTCLIP, DDERR_EXCLUSIVEMODEALREADYSET, DDERR_NOTFLIPPABLE, DDERR_NOTLOCKED,
          DDERR_CANTCREATEDC, DDERR_NODC, DDERR_WRONGMODE, DDERR_IMPLICITLYCREATED, DDERR_NOTPALETTIZED,
          DDERR_UNSUPPORTEDMODE, DDERR_DCALREADYCREATED, DDERR_MOREDATA, DDERR_VIDEONOTACTIVE,
          DDERR_DEVICEDOESNTOWNSURFACE, DDERR_NOTINITIALIZED}) {
        std::string text = DirectDrawErrorText(code);
        EXPECT_NE(text, "Unrecognized Error") << std::hex << code;
        EXPECT_EQ(text.back(), '.') << text;
    }
}

TEST(CheckDirectX, RaisesForEveryNonZeroCode) {
    EXPECT_NO_THROW(CheckDirectX(0));
    try {
        CheckDirectX(1);
        FAIL() << "no exception";
    } catch (const EDirectX& e) {
        EXPECT_EQ(e.Message(), "\r\r" + DirectInputErrorText(1) + "\r\r");
        EXPECT_STREQ(e.ClassName(), "EDirectX");
    }
    EXPECT_THROW(CheckDirectX(DDERR_SURFACELOST), EDirectX);
}

TEST(EDirectX, MessageFramingAndLocation) {
    EXPECT_EQ(EDirectX(static_cast<HRESULT>(0x80001234)).Message(), "\r\rUnrecognized Error\r\r");
    ErrorLocation = "TQVXInput.StartInput";
    std::string m = EDirectX(DDERR_GENERIC).Message();
    ErrorLocation.clear();
    EXPECT_EQ(m, "\r\rGeneric failure.\r\rAt: TQVXInput.StartInput\r\r");
    EXPECT_EQ(m.find('\n'), std::string::npos);
}

TEST(SendTrace, NothingListeningIsQuiet) { EXPECT_NO_THROW(SendTrace("nobody hears this")); }

TEST(SendTrace, LongLinesAreCutTo255Characters) {
    std::vector<winsys::CopyData> got;
    std::atomic<int> state{0};  // 1 listening, -1 name taken
    QThread* t = QThread::create([&] {
        winsys::CopyDataListener l("TfrmQVXTrace", "QVX Trace", [&](const winsys::CopyData& cd) {
            got.push_back(cd);
            return int64_t{0};
        });
        if (!l.Listen()) {
            state = -1;
            return;
        }
        state = 1;
        l.Serve(3000);
    });
    t->start();
    while (state == 0) QThread::msleep(2);
    if (state < 0) {
        t->wait();
        delete t;
        GTEST_SKIP() << "a trace viewer is running on this machine";
    }
    SendTrace(std::string(300, 'x'));
    SendTrace("short");
    t->wait();
    delete t;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].dwData, 0u);
    ASSERT_EQ(got[0].bytes.size(), 256u);
    EXPECT_EQ(std::string(got[0].bytes.begin(), got[0].bytes.end() - 1), std::string(255, 'x'));
    EXPECT_EQ(got[0].bytes.back(), 0);
    EXPECT_EQ(got[1].bytes.size(), 6u);
}

}  // namespace
