// TQVXAudio and its sound buffers on the headless sound device: what a game
// hears of its library, rebuilding, restarting, and start-up failures; and
// the real output (SDL) lost and found again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>

#include <QGuiApplication>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <fstream>

#include "platform/com/backend.h"
#include "platform/dsound/headless/output.h"
#include "platform/winsys/qt/qt_window.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/audio.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"
#include "platform/winsys/headless/headless.h"
#include "toolkit/streams.h"

using namespace qvx;
namespace hs = dsound::headless;

namespace {

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// An .SDL library of 16-bit mono 44100 Hz sounds with the given pan and
// volume; sound i holds `frames` samples of the value 1000 * (i + 1).
std::vector<uint8_t> SdlBytes(const std::vector<std::pair<int32_t, int32_t>>& panVolume, int frames = 441) {
    std::vector<uint8_t> b = {'S', 'L', '1', '0'};
    Put(b, static_cast<uint32_t>(panVolume.size()), 4);
    for (size_t i = 0; i < panVolume.size(); ++i) {
        for (uint32_t v : {1u, 1u}) Put(b, v, 2);
        Put(b, 44100, 4), Put(b, 88200, 4), Put(b, 2, 2), Put(b, 16, 2), Put(b, 0, 4);
        b.resize(b.size() + 12);  // name
        Put(b, static_cast<uint32_t>(panVolume[i].first), 4);
        Put(b, static_cast<uint32_t>(panVolume[i].second), 4);
        Put(b, static_cast<uint32_t>(frames * 2), 4);
        for (int k = 0; k < frames; ++k) Put(b, static_cast<uint32_t>(1000 * (i + 1)), 2);
    }
    return b;
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
        audio->SetSoundLibrary(lib);
    }
    void TearDown() override {
        hs::ClearFaults();
        if (!file.empty()) std::remove(file.c_str());
    }

    void Fill(const std::vector<uint8_t>& bytes) {
        tk::TMemoryStream s(bytes);
        lib->Sounds()->LoadFromStream(s);
    }
    void LoadFile(const std::vector<uint8_t>& bytes) {
        file = "/tmp/qvx_audio_" + std::to_string(getpid()) + ".sdl";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        lib->LoadFromFile(file);
    }
    // Left and right of the next rendered frame.
    static std::pair<int, int> Heard() {
        std::vector<int16_t> s = hs::CurrentOutput()->Render16(16);
        return {s[0], s[1]};
    }

    TApplication app;
    TForm* form = nullptr;
    TQVXSoundLib* lib = nullptr;
    TQVXAudio* audio = nullptr;
    std::string file;
};

TEST_F(Audio, StartMakesABufferPerSoundWithItsPanAndVolume) {
    int initialized = 0;
    audio->OnInitialize = [&](tk::TObject* sender) { initialized += sender == audio; };
    audio->StartAudio();  // an empty library: no buffers, still initialized
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(audio->BufferCount(), 0);
    WAVEFORMATEX primary = hs::CurrentOutput()->Format();
    EXPECT_EQ(primary.nSamplesPerSec * primary.nChannels * primary.wBitsPerSample, 44100u * 2 * 16);

    Fill(SdlBytes({{0, 0}, {-10000, -600}}));
    audio->SetSoundLibrary(lib);  // built at once, without initializing again
    EXPECT_EQ(initialized, 1);
    ASSERT_EQ(audio->BufferCount(), 2);
    EXPECT_EQ(lib->Count(), 2);  // a library from form data keeps its samples
    audio->Play(1, true);
    auto [left, right] = Heard();
    EXPECT_NEAR(left, 2000 * 0.5012, 1);  // -6 dB, all the way left
    EXPECT_EQ(right, 0);
    audio->SetPan(1, 0);
    audio->SetVolume(1, 0);
    EXPECT_EQ(Heard(), std::make_pair(2000, 2000));
    audio->StopAll();
    EXPECT_EQ(Heard(), std::make_pair(0, 0));
    EXPECT_THROW(audio->Play(2), tk::Exception);
}

TEST_F(Audio, FileLibraryIsDroppedAndReadAgainWhenBuffersAreLost) {
    LoadFile(SdlBytes({{0, 0}, {0, 0}}));
    audio->StartAudio();
    EXPECT_EQ(lib->Count(), 0);
    audio->Play(1, true);
    hs::CurrentOutput()->LoseBuffers();
    EXPECT_EQ(Heard(), std::make_pair(0, 0));
    // Noticed when the game next plays: rebuilt from the file, then played.
    audio->Play(1);
    EXPECT_EQ(audio->BufferCount(), 2);
    EXPECT_EQ(lib->Count(), 0);
    EXPECT_EQ(Heard(), std::make_pair(2000, 2000));

    // The file gone at the next start: the file's error, no buffers, and
    // every Play tries the file again until it is back.
    std::vector<uint8_t> bytes = tk::ReadFileBytes(file);
    std::remove(file.c_str());
    const std::string gone = "Cannot open file " + file;
    for (auto step : {+[](TQVXAudio* a) { a->StartAudio(); }, +[](TQVXAudio* a) { a->Play(1); }}) {
        try {
            step(audio);
            ADD_FAILURE() << "no exception";
        } catch (const tk::Exception& e) {
            EXPECT_EQ(e.Message(), gone);
        }
        EXPECT_EQ(audio->BufferCount(), 0);
    }
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    audio->Play(1);
    EXPECT_EQ(Heard(), std::make_pair(2000, 2000));
}

TEST_F(Audio, BuildStoppedPartWayStillRecoversFromALostBuffer) {
    Fill(SdlBytes({{0, 0}, {0, 0}}));
    audio->StartAudio();
    hs::FailCall("IDirectSoundBuffer::SetPan", 1, DSERR_GENERIC);
    EXPECT_THROW(audio->CreateBuffers(), tk::Exception);  // "SetPan Failed" on the first buffer
    ASSERT_EQ(audio->BufferCount(), 1);                   // as far as it got, no lost-buffer handler yet
    hs::CurrentOutput()->LoseBuffers();
    audio->Play(0);  // rebuilt whole, then played
    EXPECT_EQ(audio->BufferCount(), 2);
    EXPECT_EQ(Heard(), std::make_pair(1000, 1000));
}

TEST_F(Audio, ScreenRestartsAudioOnEveryActivationFromTheFileFreeingTheFirstBuffers) {
    auto* game = app.CreateForm<TForm>();
    auto* screen = new TQVXScreen(game);
    auto* gameAudio = new TQVXAudio(game);
    LoadFile(SdlBytes({{0, 0}}, 44100));
    gameAudio->SetSoundLibrary(lib);
    screen->Loaded();
    gameAudio->Loaded();
    EXPECT_EQ(gameAudio->DirectSound(), nullptr);
    game->Show();
    app.ProcessMessages();
    ASSERT_EQ(gameAudio->BufferCount(), 1);
    gameAudio->Play(0, true);
    ComPtr<IDirectSoundBuffer> old(gameAudio->Buffers(0)->Buffer());

    auto* window = dynamic_cast<winsys::headless::HeadlessWindow*>(game->Handle());
    window->SetActive(false);
    window->SetActive(true);
    app.ProcessMessages();
    ASSERT_EQ(gameAudio->BufferCount(), 1);  // the dropped samples were read again from the file
    EXPECT_NE(gameAudio->Buffers(0)->Buffer(), old.Get());
    DWORD status = 0;
    old->GetStatus(&status);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    EXPECT_EQ(old->AddRef(), 2u);  // released: this test's reference is the only one left
    old->Release();
}

TEST_F(Audio, LoadedStepStartsOnlyWithoutAScreenAndWaitsForAWindow) {
    audio->Loaded();
    EXPECT_NE(audio->DirectSound(), nullptr);

    // A form without a window starts its audio on its first activation,
    // also when the game assigns the form's OnActivate after loading.
    auto* hidden = app.CreateForm<TForm>();
    auto* waiting = new TQVXAudio(hidden);
    waiting->Loaded();
    EXPECT_EQ(waiting->DirectSound(), nullptr);
    int activations = 0;
    hidden->OnActivate = [&](tk::TObject*) { ++activations; };
    hidden->Show();
    app.ProcessMessages();
    EXPECT_NE(waiting->DirectSound(), nullptr);
    EXPECT_EQ(activations, 1);

    auto* withScreen = app.CreateForm<TForm>();
    new TQVXScreen(withScreen);
    auto* quiet = new TQVXAudio(withScreen);
    quiet->Loaded();
    EXPECT_EQ(quiet->DirectSound(), nullptr);

    RegisterRuntimeComponents();
    for (const char* name : {"TQVXAudio", "TQVXInput"})
        EXPECT_STREQ((*tk::FindComponentClass(name))(form)->ClassName(), name);
}

TEST_F(Audio, StartFailuresRaiseTheirMessages) {
    Fill(SdlBytes({{0, 0}}));
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
        try {
            audio->StartAudio();
            ADD_FAILURE() << c.method << ": no exception";
        } catch (const tk::Exception& e) {
            EXPECT_EQ(e.Message(), c.message) << c.method << " #" << c.nth;
        }
    }
    hs::ClearFaults();
    hs::FailCall("IDirectSoundBuffer::SetFormat", 1, DSERR_BADFORMAT);  // asked for, not insisted on
    audio->StartAudio();
    EXPECT_EQ(audio->BufferCount(), 1);
}

// The real sound output (SDL's disk driver writes what is heard to a file)
// lost while the game plays: while it cannot be opened again, Play fails
// with the buffer's message and keeps the table; once it can, the next Play
// reopens it, rebuilds the buffers and is heard.
TEST(AudioOutput, LostOutputComesBackAtTheNextPlayOnceItCanBeOpened) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qvx_output_" + std::to_string(getpid()));
    const fs::path away = dir.string() + ".away";
    fs::create_directories(dir);
    const std::string heard = (dir / "out.raw").string(), library = dir.string() + ".sdl";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", heard.c_str(), 1);
    static int argc = 1;
    static char name[] = "runtime_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);  // kept to the end of the run
    platform::SelectBackend(platform::Backend::Real);
    {
        TApplication app;
        auto* form = app.CreateForm<TForm>();
        form->Show();
        // Sounds follow the focus: heard while the window is active.
        ASSERT_TRUE(QTest::qWaitForWindowActive(dynamic_cast<winsys::qt::QtWindow*>(form->Handle())->Handle()));
        auto bytes = SdlBytes({{0, 0}}, 4410);
        std::ofstream(library, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        auto* lib = new TQVXSoundLib(form);
        lib->LoadFromFile(library);
        auto* audio = new TQVXAudio(form);
        audio->SetSoundLibrary(lib);
        audio->StartAudio();
        ASSERT_EQ(audio->BufferCount(), 1);

        // The disk fills up: the output stops and the device is lost.
        const int full = open("/dev/full", O_WRONLY);
        bool swapped = false;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (fs::read_symlink(fd.path(), ec) == fs::path(heard))
                swapped = dup2(full, std::stoi(fd.path().filename().string())) >= 0;
        }
        close(full);
        ASSERT_TRUE(swapped) << "the output file is not open";
        auto lost = [&] {
            DWORD status = 0;
            audio->Buffers(0)->Buffer()->GetStatus(&status);
            return (status & DSBSTATUS_BUFFERLOST) != 0;
        };
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             !lost() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(lost());

        fs::rename(dir, away);  // and it cannot be opened again
        try {
            audio->Play(0);
            ADD_FAILURE() << "no exception";
        } catch (const tk::Exception& e) {
            EXPECT_EQ(e.Message(), "DirectSoundSurface Lock Failed");
        }
        EXPECT_EQ(audio->BufferCount(), 1);

        fs::rename(away, dir);
        audio->Play(0, true);
        bool arrived = false;
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             !arrived && std::chrono::steady_clock::now() < end;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::vector<uint8_t> out = tk::ReadFileBytes(heard);
            for (size_t i = 0; i + 4 <= out.size() && !arrived; i += 4)
                arrived = out[i] == (1000 & 0xFF) && out[i + 1] == (1000 >> 8) && out[i + 2] == out[i] &&
                          out[i + 3] == out[i + 1];
        }
        EXPECT_TRUE(arrived) << "the sound never reached the output";
    }
    platform::SelectBackend(platform::Backend::Headless);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fs::remove_all(dir);
    fs::remove(library);
}

}  // namespace
