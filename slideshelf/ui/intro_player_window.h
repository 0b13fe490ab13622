// The window that plays an intro as a game would (Library › Play Intro and
// Preview Transition): frames drawn by the game library's transition
// renderer, by the clock, scaled to fit the window. Esc, a click or closing
// it stops it; F5 in it plays it again.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "qvx/intro/intro_library.h"

namespace qvx {
class TIntroTimeline;
class TIntroFrames;
}  // namespace qvx

namespace slideshelf {

class TfrmPlayer : public QWidget {
    Q_OBJECT
public:
    // Plays slides first..last of a copy of `library` (as it is now, saved
    // or not), the first coming in from slide `before` (-1: from index 0).
    // A window of its own, deleted when closed.
    TfrmPlayer(const qvx::TIntroLibrary& library, int first, int last, int before, const QString& caption,
               QWidget* parent);
    ~TfrmPlayer() override;

    // The frame on show, 8 bits in the library palette.
    const QImage& Frame() const { return frame_; }
    // Shows the moment `micros` after the start; the clock goes on from there.
    void Seek(int64_t micros);
    // The intro has come to its end (its last slide stays on show).
    bool Finished() const { return finished_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Tick();
    void Show(int64_t micros);

    qvx::TIntroLibrary library_;
    std::unique_ptr<qvx::TIntroTimeline> timeline_;
    std::unique_ptr<qvx::TIntroFrames> frames_;
    QImage frame_;
    QElapsedTimer clock_;
    int64_t offset_ = 0;  // microseconds the clock stood at when last set
    QTimer timer_;
    bool finished_ = false;
};

}  // namespace slideshelf
