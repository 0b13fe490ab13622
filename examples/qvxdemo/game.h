// The demo game. Its window comes from form data (qvxdemo.dfm): a screen,
// sprite and tile libraries, a tile map, a hi-colour title picture, a sound
// library with audio, and input. The game adds only what the form names:
// its handlers, GameInitialize and GameFlip.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "qvx/runtime/input.h"
#include "qvx/runtime/screen.h"

namespace qvx {
class TApplication;
class TQVXAudio;
class TQVXIntro;
class TQVXMapLib;
}  // namespace qvx

namespace demo {

struct Options {
    bool modeGiven = false;
    qvx::TDisplayMode mode = qvx::TDisplayMode::dm320x240x8;
    bool window = false, stretch = false;
    bool deviceGiven = false;
    qvx::TInputDevice device = qvx::TInputDevice::Keyboard;
    bool headless = false;
    bool hud = true;        // the text line over the frame
    bool quiet = false;     // no summary line
    int frames = 0;         // 0: until Esc or the window closes
    int titleFrames = 150;  // the title shows this long, or until a key
    bool skipIntro = false;  // straight to the title
    int dumpFrame = -1;
    std::string dumpFile;
    int loseEvery = 0;
    bool soak = false;  // headless, with faults injected
    uint32_t seed = 0;
};

extern const char* kUsage;
// Fills `options` from the command line; "" on success, else the mistake.
std::string ParseOptions(int argc, char** argv, Options& options);

class Game {
public:
    explicit Game(Options options) : opt_(std::move(options)) {}
    // Loads the form from `formFile`, runs it and prints the summary line.
    // Returns the exit status.
    int Run(const std::string& formFile);
    int Frames() const { return frame_; }

private:
    enum class Phase { Title, Play };
    void Initialise();
    void Flip();
    void ReadInput();
    void Move();
    void Sound(int index, double x);  // panned to where x is
    bool Draw();
    bool DrawMap(IDirectDrawSurface4* back);
    void Dump();
    void InjectFaults();
    void CheckPictures();
    uint64_t PictureSum() const;
    void CountException(const std::exception& e);

    Options opt_;
    qvx::TApplication* app_ = nullptr;
    qvx::TQVXScreen* screen_ = nullptr;
    qvx::TQVXAudio* audio_ = nullptr;
    qvx::TQVXInput* input_ = nullptr;
    qvx::TQVXMapLib* level_ = nullptr;
    qvx::TQVXHiColorImagelib* title_ = nullptr;
    qvx::TQVXImageLib* sprites_ = nullptr;
    qvx::TQVXIntro* intro_ = nullptr;
    bool introStarted_ = false;
    int introSlides_ = 0;  // slides the intro came to before it ended
    Phase phase_ = Phase::Title;
    int W_ = 320, H_ = 240;
    int frame_ = 0, bounces_ = 0, shots_ = 0, restores_ = 0, scroll_ = 0;
    int lastWholeFrame_ = 0;  // the last frame drawn with its pictures
    bool inputRead_ = false, pressed_ = false, firing_ = false, dumped_ = false;
    double shipX_ = 0, shipY_ = 0;
    static constexpr int kBalls = 32;
    double bx_[kBalls], by_[kBalls], vx_[kBalls], vy_[kBalls];

    // Soak figures.
    std::mt19937 rng_;
    int storm_ = 0, storms_ = 0, surfaceLosses_ = 0, soundLosses_ = 0, faults_ = 0;
    int exceptions_ = 0, foreign_ = 0;
    // Picture content across storms: the surfaces' checksum before a storm
    // and after it, in the same phase.
    uint64_t sumBefore_ = 0;
    Phase sumPhase_ = Phase::Title;
    int pictureChecks_ = 0, picturesChanged_ = 0;
    std::map<std::string, int> exceptionKinds_;
};

}  // namespace demo
