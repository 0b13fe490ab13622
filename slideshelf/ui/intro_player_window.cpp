#include "intro_player_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "Application.h"
#include "Controls.h"
#include "Main.h"
#include "qvx/intro/intro_timeline.h"

namespace slideshelf {

namespace {

constexpr int kFrameMillis = 15;  // a little over 60 frames a second

}  // namespace

TfrmPlayer::TfrmPlayer(const qvx::TIntroLibrary& library, int first, int last, int before, const QString& caption,
                       QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmPlayer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    setFocusPolicy(Qt::StrongFocus);
    library_.LoadFromBytes(library.SaveToBytes());
    timeline_ = std::make_unique<qvx::TIntroTimeline>(library_, first, last, before);
    frames_ = std::make_unique<qvx::TIntroFrames>(library_);
    frame_ = QImage(frames_->Width(), frames_->Height(), QImage::Format_Indexed8);
    QVector<QRgb> colours(256);
    for (int i = 0; i < 256; ++i) {
        const auto& e = library_.Palette()[static_cast<size_t>(i)];
        colours[i] = qRgb(e.Red, e.Green, e.Blue);
    }
    frame_.setColorTable(colours);

    // Big enough to see (about 640 pixels across for small slides, whole
    // pixels), small enough for the screen.
    QSizeF size(frames_->Width(), frames_->Height());
    size *= std::clamp(std::round(640.0 / size.width()), 1.0, 4.0);
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSizeF room = QSizeF(screen->availableSize()) * 0.9;
        if (size.width() > room.width() || size.height() > room.height())
            size.scale(room, Qt::KeepAspectRatio);
    }
    resize(std::max(1, static_cast<int>(size.width())), std::max(1, static_cast<int>(size.height())));

    connect(&timer_, &QTimer::timeout, this, Guarded([this] { Tick(); }));
    clock_.start();
    Tick();
    timer_.start(kFrameMillis);
}

TfrmPlayer::~TfrmPlayer() = default;

void TfrmPlayer::Seek(int64_t micros) {
    offset_ = micros;
    clock_.restart();
    Show(micros);
    if (!finished_ && !timer_.isActive()) timer_.start(kFrameMillis);
}

void TfrmPlayer::Tick() { Show(offset_ + clock_.nsecsElapsed() / 1000); }

void TfrmPlayer::Show(int64_t micros) {
    const qvx::TIntroState state = timeline_->At(micros);
    frames_->Draw(state, qvx::TFrameTarget{frame_.bits(), frame_.bytesPerLine()});
    finished_ = state.Finished;
    if (finished_) timer_.stop();  // the last slide stays on show
    update();
}

void TfrmPlayer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    QSizeF shown = QSizeF(frame_.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QRectF where((width() - shown.width()) / 2, (height() - shown.height()) / 2, shown.width(), shown.height());
    // Whole pixels stay sharp when enlarged; a reduced frame is smoothed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shown.width() < frame_.width());
    painter.drawImage(where, frame_);
}

void TfrmPlayer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_F5) {  // as in the main window: play (again)
        Seek(0);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmPlayer::mousePressEvent(QMouseEvent*) { close(); }

// ---- The main window's commands --------------------------------------------------

namespace {

// One player at a time: a new one takes the place of any that plays.
void Open(TfrmMain& main, TfrmPlayer* player) {
    for (TfrmPlayer* other : main.findChildren<TfrmPlayer*>(QString(), Qt::FindDirectChildrenOnly))
        if (other != player) other->close();
    player->move(main.frameGeometry().center() - player->rect().center());
    player->show();
    player->raise();
    player->activateWindow();
}

bool HasSlides(const qvx::TIntroLibrary& library) {
    for (int i = 0; i < library.SlideCount(); ++i)
        if (library.Slide(i)) return true;
    return false;
}

}  // namespace

void TfrmMain::mnuPlayIntroClick() {
    if (!HasSlides(library_)) {
        dialogs_.ShowInformation(this, QStringLiteral("Information"), QStringLiteral("The library has no slides to play."));
        return;
    }
    const int first = std::max(Images->ItemIndex(), 0);
    Open(*this, new TfrmPlayer(library_, first, -1, -1, QStringLiteral("Play Intro"), this));
}

void TfrmMain::mnuPreviewTransitionClick() {
    const int index = Images->ItemIndex();
    if (index < 0 || !library_.Slide(index)) {
        dialogs_.ShowInformation(this, QStringLiteral("Information"),
                                 QStringLiteral("Select the slide whose transition you want to see."));
        return;
    }
    Open(*this, new TfrmPlayer(library_, index, index, index - 1, QStringLiteral("Preview Transition"), this));
}

}  // namespace slideshelf
