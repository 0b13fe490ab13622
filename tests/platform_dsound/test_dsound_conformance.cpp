// What a program sees through IDirectSound and IDirectSoundBuffer, run
// against every backend that works here: headless, and SDL2 audio (with
// SDL's dummy driver when there is no sound card).
#include <chrono>
#include <thread>

#include "sound_fixture.h"

namespace {

class DsConformance : public ::testing::TestWithParam<platform::Backend> {
protected:
    void SetUp() override {
        platform::SelectBackend(GetParam());
        dsound::headless::ClearFaults();
        ASSERT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DS_OK);
    }
    void TearDown() override { platform::SelectBackend(platform::Backend::Headless); }

    bool Headless() const { return GetParam() == platform::Backend::Headless; }

    // Lets a playing buffer advance: renders on the headless backend, waits
    // on the real one.
    void LetTimePass(int milliseconds) {
        if (Headless()) {
            dsound::headless::CurrentOutput()->Render(44100 * milliseconds / 1000);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        }
    }

    ComPtr<IDirectSoundBuffer> Primary() {
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
        ComPtr<IDirectSoundBuffer> p;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, p.Put(), nullptr), DS_OK);
        return p;
    }

    TestWindow window;
    ComPtr<IDirectSound> ds;
};

TEST_P(DsConformance, CreateChecksItsArguments) {
    IDirectSound* raw = reinterpret_cast<IDirectSound*>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(DirectSoundCreate(nullptr, &raw, ds.Get()), DSERR_NOAGGREGATION);
    EXPECT_EQ(raw, nullptr);
    GUID other = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(DirectSoundCreate(&other, &raw, nullptr), DSERR_NODRIVER);
    // A second device at once: SDL drivers that serve one client report it busy.
    GUID zero{};
    ComPtr<IDirectSound> second;
    HRESULT hr = DirectSoundCreate(&zero, second.Put(), nullptr);
    if (Headless())
        EXPECT_EQ(hr, DS_OK);
    else
        EXPECT_TRUE(hr == DS_OK || hr == DSERR_ALLOCATED) << std::hex << hr;
    EXPECT_EQ(hr == DS_OK, static_cast<bool>(second));
}

TEST_P(DsConformance, QueryInterfaceAndReferenceCounts) {
    ComPtr<IDirectSound> again;
    EXPECT_EQ(ds->QueryInterface(IID_IDirectSound, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), ds.Get());
    void* none = nullptr;
    EXPECT_EQ(ds->QueryInterface(IID_IDirectSoundBuffer, &none), DSERR_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(ds->AddRef(), 3u);
    EXPECT_EQ(ds->Release(), 2u);
}

TEST_P(DsConformance, CooperativeLevel) {
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(&window, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(&window, 5), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(ds->SetCooperativeLevel(&window, DSSCL_EXCLUSIVE), DS_OK);
}

TEST_P(DsConformance, PrimaryBuffer) {
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 4096, 0, nullptr};
    ComPtr<IDirectSoundBuffer> p;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, p.Put(), nullptr), DSERR_INVALIDPARAM);  // primaries have no size
    desc.dwBufferBytes = 0;
    desc.dwFlags |= DSBCAPS_CTRLFREQUENCY;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, p.Put(), nullptr), DSERR_INVALIDPARAM);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, p.Put(), nullptr), DS_OK);
    ComPtr<IDirectSoundBuffer> same;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, same.Put(), nullptr), DS_OK);
    EXPECT_EQ(same.Get(), p.Get());

    // Setting the output format needs the priority level.
    WAVEFORMATEX cd = Pcm(44100, 2, 16);
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(p->SetFormat(&cd), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    WAVEFORMATEX bad = cd;
    bad.nBlockAlign = 2;
    EXPECT_EQ(p->SetFormat(&bad), DSERR_BADFORMAT);
    EXPECT_EQ(p->SetFormat(nullptr), DSERR_INVALIDPARAM);
    ASSERT_EQ(p->SetFormat(&cd), DS_OK);
    WAVEFORMATEX got{};
    DWORD written = 0;
    ASSERT_EQ(p->GetFormat(&got, sizeof got, &written), DS_OK);
    EXPECT_EQ(written, sizeof(WAVEFORMATEX));
    EXPECT_EQ(got.nSamplesPerSec, 44100u);
    EXPECT_EQ(got.wBitsPerSample, 16);
    EXPECT_EQ(got.nChannels, 2);
    EXPECT_EQ(got.nBlockAlign, 4);
    EXPECT_EQ(got.nAvgBytesPerSec, 176400u);

    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(p->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_PRIOLEVELNEEDED);
    DWORD freq;
    EXPECT_EQ(p->GetFrequency(&freq), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(p->Play(0, 0, 0), DSERR_INVALIDPARAM);  // the primary only loops
    EXPECT_EQ(p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(p->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(p->Stop(), DS_OK);
    ASSERT_EQ(p->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
}

TEST_P(DsConformance, SecondaryBufferDescriptionIsChecked) {
    WAVEFORMATEX f = Pcm(22050, 1, 8);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, 1000, 0, &f};
    ComPtr<IDirectSoundBuffer> b;
    EXPECT_EQ(ds->CreateSoundBuffer(nullptr, b.Put(), nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), ds.Get()), DSERR_NOAGGREGATION);
    desc.dwSize = sizeof(DSBUFFERDESC) - 4;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_INVALIDPARAM);
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.lpwfxFormat = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_INVALIDPARAM);
    desc.lpwfxFormat = &f;
    desc.dwBufferBytes = 3;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_INVALIDPARAM);
    desc.dwBufferBytes = DSBSIZE_MAX + 1;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_INVALIDPARAM);
    desc.dwBufferBytes = 1000;

    struct {
        WAVEFORMATEX format;
        HRESULT expected;
    } formats[] = {
        {Pcm(22050, 3, 8), DSERR_BADFORMAT},     {Pcm(22050, 1, 12), DSERR_BADFORMAT},
        {Pcm(50, 1, 8), DSERR_BADFORMAT},        {Pcm(200000, 1, 8), DSERR_BADFORMAT},
        {Pcm(8000, 2, 16), DS_OK},               {Pcm(100000, 1, 8), DS_OK},
    };
    for (auto& c : formats) {
        desc.lpwfxFormat = &c.format;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), c.expected) << c.format.nSamplesPerSec;
    }
    WAVEFORMATEX adpcm = Pcm(22050, 1, 8);
    adpcm.wFormatTag = 2;
    desc.lpwfxFormat = &adpcm;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_BADFORMAT);
    WAVEFORMATEX misaligned = Pcm(22050, 2, 16);
    misaligned.nBlockAlign = 2;
    desc.lpwfxFormat = &misaligned;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_BADFORMAT);
    desc.lpwfxFormat = &f;
    desc.dwFlags = DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, b.Put(), nullptr), DSERR_INVALIDPARAM);
}

TEST_P(DsConformance, SecondaryBufferReportsItself) {
    auto b = MakeBuffer(ds.Get(), Pcm(11025, 2, 16), std::vector<uint8_t>(400), DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME);
    DSBCAPS caps{};
    EXPECT_EQ(b->GetCaps(&caps), DSERR_INVALIDPARAM);  // dwSize unset
    caps.dwSize = sizeof caps;
    ASSERT_EQ(b->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 400u);
    EXPECT_EQ(caps.dwFlags, DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_LOCSOFTWARE);
    DWORD needed = 0;
    ASSERT_EQ(b->GetFormat(nullptr, 0, &needed), DS_OK);
    EXPECT_EQ(needed, sizeof(WAVEFORMATEX));
    WAVEFORMATEX f{};
    EXPECT_EQ(b->GetFormat(&f, 10, nullptr), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->GetFormat(&f, sizeof f, nullptr), DS_OK);
    EXPECT_EQ(f.nSamplesPerSec, 11025u);
    EXPECT_EQ(f.nBlockAlign, 4);
    ComPtr<IDirectSoundBuffer> again;
    EXPECT_EQ(b->QueryInterface(IID_IDirectSoundBuffer, again.PutVoid()), S_OK);
    void* none = nullptr;
    EXPECT_EQ(b->QueryInterface(IID_IDirectSound, &none), DSERR_NOINTERFACE);
}

TEST_P(DsConformance, LockGivesTwoRegionsAcrossTheEnd) {
    std::vector<uint8_t> init(100);
    for (int i = 0; i < 100; ++i) init[i] = static_cast<uint8_t>(i);
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), init);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(80, 40, &p1, &n1, &p2, &n2, 0), DS_OK);
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(n2, 20u);
    EXPECT_EQ(static_cast<uint8_t*>(p1)[0], 80);
    EXPECT_EQ(static_cast<uint8_t*>(p2)[0], 0);
    std::memset(p1, 0xAA, n1);
    std::memset(p2, 0xBB, n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    auto* all = static_cast<uint8_t*>(p1);
    EXPECT_EQ(all[19], 0xBB);
    EXPECT_EQ(all[20], 20);
    EXPECT_EQ(all[79], 79);
    EXPECT_EQ(all[80], 0xAA);
    ASSERT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);

    // Within one region: no second one.
    ASSERT_EQ(b->Lock(10, 20, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(p2, nullptr);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    EXPECT_EQ(b->Lock(100, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 4, nullptr, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, 4, nullptr, 0), DSERR_INVALIDCALL);  // nothing locked
    ASSERT_EQ(b->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    uint8_t elsewhere[4];
    EXPECT_EQ(b->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, 101, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
}

TEST_P(DsConformance, ControlsNeedTheirCapsAndStayInRange) {
    auto none = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 128), DSBCAPS_STATIC);
    LONG v;
    DWORD f;
    EXPECT_EQ(none->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(none->SetPan(100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(none->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(none->GetVolume(&v), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(none->GetPan(&v), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(none->GetFrequency(&f), DSERR_CONTROLUNAVAIL);

    auto all = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 128));
    EXPECT_EQ(all->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(all->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(all->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(all->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(all->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(all->SetFrequency(100001), DSERR_INVALIDPARAM);
    ASSERT_EQ(all->SetVolume(-2500), DS_OK);
    ASSERT_EQ(all->SetPan(1500), DS_OK);
    ASSERT_EQ(all->SetFrequency(30000), DS_OK);
    ASSERT_EQ(all->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -2500);
    ASSERT_EQ(all->GetPan(&v), DS_OK);
    EXPECT_EQ(v, 1500);
    ASSERT_EQ(all->GetFrequency(&f), DS_OK);
    EXPECT_EQ(f, 30000u);
    ASSERT_EQ(all->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    ASSERT_EQ(all->GetFrequency(&f), DS_OK);
    EXPECT_EQ(f, 22050u);
    EXPECT_EQ(all->GetVolume(nullptr), DSERR_INVALIDPARAM);
}

TEST_P(DsConformance, PlayStopAndStatus) {
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(22050, 160));
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);  // no cooperative level yet
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
    DWORD status = 99;
    EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);  // playing again switches to looping
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    LetTimePass(100);
    ASSERT_EQ(b->Stop(), DS_OK);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    // Stopping keeps the place; the write cursor rests on the play cursor.
    DWORD play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_GT(play, 0u);
    EXPECT_EQ(play, write);
    EXPECT_EQ(b->SetCurrentPosition(22050), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->SetCurrentPosition(1000), DS_OK);
    ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 1000u);
    EXPECT_EQ(b->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_P(DsConformance, OneShotStopsByItself) {
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(1102, 200));  // 50 ms
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    DWORD status = DSBSTATUS_PLAYING;
    for (int i = 0; i < 100 && (status & DSBSTATUS_PLAYING); ++i) {
        LetTimePass(20);
        ASSERT_EQ(b->GetStatus(&status), DS_OK);
    }
    EXPECT_EQ(status, 0u);
}

TEST_P(DsConformance, WriteCursorLeadsWhilePlaying) {
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    auto b = MakeBuffer(ds.Get(), Pcm(44100, 2, 16), std::vector<uint8_t>(44100 * 4), DSBCAPS_GETCURRENTPOSITION2);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ((write + 44100 * 4 - play) % (44100 * 4), 441u * 4);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 8, &p1, &n1, &p2, &n2, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
}

TEST_P(DsConformance, DuplicatesShareSamplesNotSettings) {
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 10));
    ASSERT_EQ(b->SetVolume(-300), DS_OK);
    ComPtr<IDirectSoundBuffer> dup;
    EXPECT_EQ(ds->DuplicateSoundBuffer(nullptr, dup.Put()), DSERR_INVALIDPARAM);
    ASSERT_EQ(ds->DuplicateSoundBuffer(b.Get(), dup.Put()), DS_OK);
    LONG v = 0;
    ASSERT_EQ(dup->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -300);
    ASSERT_EQ(dup->SetVolume(-900), DS_OK);
    ASSERT_EQ(b->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -300);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(dup->Lock(0, 1, &p1, &n1, &p2, &n2, 0), DS_OK);
    *static_cast<uint8_t*>(p1) = 77;
    ASSERT_EQ(dup->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(b->Lock(0, 1, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(*static_cast<uint8_t*>(p1), 77);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(ds->DuplicateSoundBuffer(Primary().Get(), dup.Put()), DSERR_INVALIDCALL);
}

// A program may release the device before its buffers (the audio component
// does when it starts again); the buffers stay usable objects.
TEST_P(DsConformance, BuffersOutliveTheirDevice) {
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 10));
    auto p = Primary();
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ds = nullptr;
    EXPECT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(b->SetVolume(-100), DS_OK);
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    EXPECT_EQ(p->SetFormat(&f), DS_OK);
    b = nullptr;
    p = nullptr;
}

TEST_P(DsConformance, WindowDestroyedBeforeTheDevice) {
    auto owner = std::make_unique<TestWindow>();
    ASSERT_EQ(ds->SetCooperativeLevel(owner.get(), DSSCL_PRIORITY), DS_OK);
    auto b = MakeBuffer(ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(64, 10));
    owner.reset();
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
    ds = nullptr;
    b = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Backends, DsConformance,
                         ::testing::Values(platform::Backend::Headless, platform::Backend::Real),
                         [](const auto& info) {
                             return info.param == platform::Backend::Headless ? std::string("Headless")
                                                                              : std::string("Sdl");
                         });

}  // namespace
