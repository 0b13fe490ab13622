// TQVXAudio and its sound buffers on the headless sound device: what a game
// hears of its library, and every start-up failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/com/backend.h"
#include "platform/dsound/headless/output.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/audio.h"
#include "qvx/runtime/forms.h"
#include "toolkit/streams.h"

using namespace qvx;
namespace hs = dsound::headless;

namespace {

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// An .SDL library of 16-bit mono 44100 Hz sounds; sound i holds `frames`
// samples of the constant value 1000 * (i + 1).
std::vector<uint8_t> SdlBytes(const std::vector<std::pair<int32_t, int32_t>>& panVolume, int frames = 441) {
    std::vector<uint8_t> b = {'S', 'L', '1', '0'};
    Put(b, static_cast<uint32_t>(panVolume.size()), 4);
    for (size_t i = 0; i < panVolume.size(); ++i) {
        Put(b, 1, 2), Put(b, 1, 2), Put(b, 44100, 4), Put(b, 88200, 4), Put(b, 2, 2), Put(b, 16, 2), Put(b, 0, 2);
        Put(b, 0, 2);
        b.push_back(1);
        b.push_back(static_cast<uint8_t>('a' + i));
        for (int k = 0; k < 10; ++k) b.push_back(0);
        Put(b, static_cast<uint32_t>(panVolume[i].first), 4);
        Put(b, static_cast<uint32_t>(panVolume[i].second), 4);
        Put(b, static_cast<uint32_t>(frames * 2), 4);
        for (int k = 0; k < frames; ++k) Put(b, static_cast<uint32_t>(1000 * (i + 1)), 2);
    }
    return b;
}

// Stands in for the screen: audio looks for a screen by class name.
class ScreenStandIn : public tk::TComponent {
public:
    using tk::TComponent::TComponent;
    const char* ClassName() const override { return "TQVXScreen"; }
};

std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

class Audio : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        hs::ClearFaults();
        form = app.CreateForm<TForm>();
        form->Show();
        app.ProcessMessages();
        lib = new TQVXSoundLib(form);
        audio = new TQVXAudio(form);
    }
    void TearDown() override {
        hs::ClearFaults();
        if (!file.empty()) std::remove(file.c_str());
    }

    void FillFromFormData(const std::vector<uint8_t>& bytes) {
        tk::TMemoryStream s(bytes);
        lib->Sounds()->LoadFromStream(s);
    }
    void LoadFile(const std::vector<uint8_t>& bytes) {
        file = (std::filesystem::temp_directory_path() / ("qvx_audio_" + std::to_string(::getpid()) + ".sdl")).string();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        lib->LoadFromFile(file);
    }
    // Left and right of the first rendered frame.
    std::pair<int, int> FirstFrame() {
        std::vector<int16_t> s = hs::CurrentOutput()->Render16(16);
        return {s[0], s[1]};
    }

    TApplication app;
    TForm* form = nullptr;
    TQVXSoundLib* lib = nullptr;
    TQVXAudio* audio = nullptr;
    std::string file;
};

TEST_F(Audio, StartMakesABufferPerSoundWithItsPanAndVolumeThatGamesPlay) {
    FillFromFormData(SdlBytes({{0, 0}, {-10000, -600}}));
    int initialized = 0;
    audio->OnInitialize = [&](tk::TObject* sender) {
        EXPECT_EQ(sender, audio);
        ++initialized;
    };
    audio->SetSoundLibrary(lib);
    audio->StartAudio();
    EXPECT_EQ(initialized, 1);
    ASSERT_EQ(audio->BufferCount(), 2);
    WAVEFORMATEX primary = hs::CurrentOutput()->Format();
    EXPECT_EQ(primary.nSamplesPerSec, 44100u);
    EXPECT_EQ(primary.nChannels, 2);
    EXPECT_EQ(primary.wBitsPerSample, 16);
    LONG pan = 0, volume = 0;
    audio->Buffers(1)->Buffer()->GetPan(&pan);
    audio->Buffers(1)->Buffer()->GetVolume(&volume);
    EXPECT_EQ(pan, -10000);
    EXPECT_EQ(volume, -600);
    EXPECT_EQ(audio->Buffers(1)->Size(), 882);
    EXPECT_EQ(audio->Buffers(1)->BitsPerSample(), 16);
    EXPECT_EQ(lib->Count(), 2);  // a library from form data keeps its samples

    audio->Play(0);
    EXPECT_EQ(FirstFrame(), std::make_pair(1000, 1000));
    audio->Stop(0);
    audio->Play(1, true);
    auto [left, right] = FirstFrame();
    EXPECT_NEAR(left, 2000 * 0.5012, 1);  // -6 dB, panned hard left
    EXPECT_EQ(right, 0);
    audio->SetPan(1, 0);
    audio->SetVolume(1, 0);
    audio->SetFrequency(1, 22050);
    EXPECT_EQ(FirstFrame(), std::make_pair(2000, 2000));
    EXPECT_TRUE(audio->Playing(1));
    audio->StopAll();
    EXPECT_EQ(FirstFrame(), std::make_pair(0, 0));
    EXPECT_EQ(MessageOf([&] { audio->Play(2); }), "Sound index out of range (2)");
}

TEST_F(Audio, EmptyLibraryStillInitializesAndANewLibraryBuildsAtOnce) {
    int initialized = 0;
    audio->OnInitialize = [&](tk::TObject*) { ++initialized; };
    audio->SetSoundLibrary(lib);
    audio->StartAudio();
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(audio->BufferCount(), 0);
    FillFromFormData(SdlBytes({{0, 0}, {0, 0}, {0, 0}}));
    auto* other = new TQVXSoundLib(form);
    other->SetSounds(*lib->Sounds());
    audio->SetSoundLibrary(other);
    EXPECT_EQ(audio->BufferCount(), 3);
    EXPECT_EQ(initialized, 1);
    delete other;  // the link is cleared; the buffers stay
    EXPECT_EQ(audio->SoundLibrary(), nullptr);
    EXPECT_EQ(audio->BufferCount(), 3);
}

TEST_F(Audio, FileLibraryIsDroppedAfterBuildingAndReloadedWhenBuffersAreLost) {
    LoadFile(SdlBytes({{0, 0}, {0, 0}}));
    audio->SetSoundLibrary(lib);
    audio->StartAudio();
    ASSERT_EQ(audio->BufferCount(), 2);
    EXPECT_EQ(lib->Count(), 0);
    audio->Play(1, true);
    hs::CurrentOutput()->LoseBuffers();
    EXPECT_EQ(FirstFrame(), std::make_pair(0, 0));
    int lost = 0;
    audio->Buffers(1)->OnBufferLost = [&, inner = audio->Buffers(1)->OnBufferLost](tk::TObject* s) {
        ++lost;
        inner(s);
    };
    // The loss is noticed when the game plays a sound: rebuilt from the file, then played.
    audio->Play(1);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(audio->BufferCount(), 2);
    EXPECT_EQ(lib->Count(), 0);
    EXPECT_EQ(FirstFrame(), std::make_pair(2000, 2000));
}

TEST_F(Audio, SecondStartFreesTheFirstStartsBuffers) {
    FillFromFormData(SdlBytes({{0, 0}}, 44100));
    audio->SetSoundLibrary(lib);
    audio->StartAudio();
    audio->Play(0, true);
    ComPtr<IDirectSoundBuffer> old(audio->Buffers(0)->Buffer());
    audio->StartAudio();
    EXPECT_EQ(audio->BufferCount(), 1);
    // Stopped and released: this test's reference is the only one left.
    DWORD status = 0;
    ASSERT_EQ(old->GetStatus(&status), DS_OK);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    EXPECT_EQ(old->AddRef(), 2u);
    old->Release();
}

TEST_F(Audio, LoadedStepStartsOnlyOnAFormWithoutAScreen) {
    auto* loose = new TQVXAudio(form);
    loose->Loaded();
    EXPECT_NE(loose->DirectSound(), nullptr);

    // A form not shown yet has no window to cooperate with: its first activation starts audio.
    auto* hidden = app.CreateForm<TForm>();
    auto* waiting = new TQVXAudio(hidden);
    waiting->Loaded();
    EXPECT_EQ(waiting->DirectSound(), nullptr);
    hidden->Show();
    app.ProcessMessages();
    EXPECT_NE(waiting->DirectSound(), nullptr);

    auto* other = app.CreateForm<TForm>();
    new ScreenStandIn(other);
    auto* withScreen = new TQVXAudio(other);
    withScreen->Loaded();
    EXPECT_EQ(withScreen->DirectSound(), nullptr);
}

TEST_F(Audio, StartFailuresRaiseTheirMessages) {
    FillFromFormData(SdlBytes({{0, 0}}));
    audio->SetSoundLibrary(lib);
    const struct {
        const char* method;
        int nth;
        const char* message;
    } cases[] = {
        {"DirectSoundCreate", 1, "Failed to Create DirectSound"},
        {"IDirectSound::SetCooperativeLevel", 1, "Failed to set directsound copoperative level"},
        {"IDirectSound::CreateSoundBuffer", 1, "Failed to set directsound copoperative level"},
        {"IDirectSound::CreateSoundBuffer", 2, "CreateSoundBuffer Failed"},
        {"IDirectSoundBuffer::Lock", 1, "DirectSoundSurface Lock Failed"},
        {"IDirectSoundBuffer::SetPan", 1, "SetPan Failed"},
        {"IDirectSoundBuffer::SetVolume", 1, "SetVolume Failed"},
    };
    for (const auto& c : cases) {
        hs::ClearFaults();
        hs::FailCall(c.method, c.nth, DSERR_GENERIC);
        EXPECT_EQ(MessageOf([&] { audio->StartAudio(); }), c.message) << c.method << " #" << c.nth;
    }
    hs::ClearFaults();
    // The primary's format is asked for but not insisted on.
    hs::FailCall("IDirectSoundBuffer::SetFormat", 1, DSERR_BADFORMAT);
    audio->StartAudio();
    ASSERT_EQ(audio->BufferCount(), 1);
    hs::FailCall("IDirectSoundBuffer::Stop", 1, DSERR_GENERIC);
    EXPECT_EQ(MessageOf([&] { audio->Stop(0); }), "Stop Failed");
}

}  // namespace
