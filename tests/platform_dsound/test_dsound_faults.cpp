// Failures on demand: the n-th call of a method, lost buffers.
#include "sound_fixture.h"

namespace {

class DsFaults : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        dsound::headless::ClearFaults();
    }
    void TearDown() override { dsound::headless::ClearFaults(); }
};

TEST_F(DsFaults, TheNthCallOfANamedMethodFails) {
    SoundRig rig;
    auto b = MakeBuffer(rig.ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 128));
    dsound::headless::FailCall("IDirectSoundBuffer::SetVolume", 2, DSERR_GENERIC);
    EXPECT_EQ(b->SetVolume(-10), DS_OK);
    EXPECT_EQ(b->SetVolume(-20), DSERR_GENERIC);
    EXPECT_EQ(b->SetVolume(-30), DS_OK);  // once only
    LONG v = 0;
    ASSERT_EQ(b->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -30);
    // Other methods are not counted.
    dsound::headless::FailCall("IDirectSoundBuffer::Stop", 1, DSERR_INVALIDCALL);
    EXPECT_EQ(b->SetPan(0), DS_OK);
    EXPECT_EQ(b->Stop(), DSERR_INVALIDCALL);
}

TEST_F(DsFaults, CreationCallsCanFail) {
    TestWindow window;
    ComPtr<IDirectSound> ds;
    dsound::headless::FailCall("DirectSoundCreate", 1, DSERR_NODRIVER);
    EXPECT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DSERR_NODRIVER);
    EXPECT_FALSE(ds);
    ASSERT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DS_OK);
    dsound::headless::FailCall("IDirectSound::SetCooperativeLevel", 1, DSERR_ALLOCATED);
    EXPECT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DSERR_ALLOCATED);
    dsound::headless::FailCall("IDirectSound::CreateSoundBuffer", 1, DSERR_OUTOFMEMORY);
    WAVEFORMATEX f = Pcm(22050, 1, 8);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, 100, 0, &f};
    ComPtr<IDirectSoundBuffer> b;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_OUTOFMEMORY);
    EXPECT_FALSE(b);
    // A failed lock hands out no memory.
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DS_OK);
    dsound::headless::FailCall("IDirectSoundBuffer::Lock", 1, DSERR_INVALIDCALL);
    void* p1 = &f;
    DWORD n1 = 5;
    EXPECT_EQ(b->Lock(0, 100, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(p1, nullptr);
    EXPECT_EQ(n1, 0u);
}

TEST_F(DsFaults, LostBuffersRefuseUntilRestored) {
    SoundRig rig;
    auto b = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(std::vector<int16_t>(100, 3000)));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(rig.Out()->Render16(1)[0], 3000);
    rig.Out()->LoseBuffers();

    DWORD status = 0;
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(rig.Out()->Render16(1)[0], 0);  // a lost buffer is not heard
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->SetVolume(-100), DS_OK);  // settings still work
    ASSERT_EQ(rig.primary->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);

    ASSERT_EQ(b->Restore(), DS_OK);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    // The memory has to be refilled: it holds silence until then.
    ASSERT_EQ(b->Lock(0, 200, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(static_cast<int16_t*>(p1)[0], 0);
    for (DWORD i = 0; i < n1 / 2; ++i) static_cast<int16_t*>(p1)[i] = 4000;
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(b->SetVolume(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(rig.Out()->Render16(1)[0], 4000);
    EXPECT_EQ(b->Restore(), DS_OK);  // nothing to restore
}

TEST_F(DsFaults, ReleasedDeviceIsNoLongerCurrent) {
    TestWindow window;
    ComPtr<IDirectSound> a, b;
    ASSERT_EQ(DirectSoundCreate(nullptr, a.Put(), nullptr), DS_OK);
    auto* outA = dsound::headless::CurrentOutput();
    ASSERT_EQ(DirectSoundCreate(nullptr, b.Put(), nullptr), DS_OK);
    auto* outB = dsound::headless::CurrentOutput();
    EXPECT_NE(outA, outB);
    b = nullptr;
    EXPECT_EQ(dsound::headless::CurrentOutput(), outA);
    a = nullptr;
    EXPECT_EQ(dsound::headless::CurrentOutput(), nullptr);
}

}  // namespace
