// Library › Play Intro (F5) and Preview Transition: the intro as it is in
// the window, played by the game library's renderer, stopped with Esc or a
// click.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>

#include "harness.h"
#include "qvx/intro/intro_timeline.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/intro_player_window.h"

using namespace slideshelf;
using sstest::TEditor;

namespace {

// The player's frame against the renderer's for the same moment.
void ExpectShowing(const TfrmPlayer& player, const qvx::TIntroLibrary& library, const qvx::TIntroState& state) {
    qvx::TIntroFrames frames(library);
    const qvx::TIntroFrame expected = frames.Draw(state);
    const QImage& shown = player.Frame();
    ASSERT_EQ(shown.width(), expected.Width);
    ASSERT_EQ(shown.height(), expected.Height);
    for (int y = 0; y < expected.Height; ++y)
        ASSERT_TRUE(std::equal(expected.Row(y), expected.Row(y) + expected.Width, shown.constScanLine(y))) << y;
    EXPECT_EQ(shown.color(9), qRgb(library.Palette()[9].Red, library.Palette()[9].Green, library.Palette()[9].Blue));
}

TfrmPlayer* Player(TEditor& editor) {
    QApplication::processEvents();
    return editor.Main().findChild<TfrmPlayer*>();
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two slides of different sizes, not saved: the second comes in
        // with Curtains in a second and holds for one.
        editor.AddBitmap(editor.WriteBitmap("a.bmp", sstest::RandomBitmap(40, 30, 12, 1)));
        editor.AddBitmap(editor.WriteBitmap("b.bmp", sstest::RandomBitmap(48, 24, 9, 2)));
        editor.Main().Library().SetSlideProperties(1, {6, 5, 1});
    }
    TEditor editor;
};

TEST_F(PlayerTest, F5PlaysTheWholeUnsavedLibraryAndEscStops) {
    editor.ClickSlide(0);  // it plays from the selected slide
    QTest::keyClick(&editor.Main(), Qt::Key_F5);
    QPointer<TfrmPlayer> player = Player(editor);
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->isVisible());
    EXPECT_EQ(player->windowTitle(), "Play Intro");
    const qvx::TIntroTimeline timeline(editor.Main().Library());
    for (int64_t t : {0, 400000, 1500000}) {
        player->Seek(t);
        ExpectShowing(*player, editor.Main().Library(), timeline.At(t));
    }
    EXPECT_FALSE(player->Finished());
    // Left alone, it plays to its end by the clock.
    player->Seek(timeline.Length() - 30000);
    QTest::qWait(200);
    EXPECT_TRUE(player->Finished());
    QTest::keyClick(player, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(player);
}

TEST_F(PlayerTest, PreviewPlaysTheSelectedSlidesTransitionFromTheSlideBefore) {
    editor.ClickSlide(1);
    editor.Trigger(editor.Main().mnuPreviewTransition);
    QPointer<TfrmPlayer> player = Player(editor);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->windowTitle(), "Preview Transition");
    const qvx::TIntroTimeline preview(editor.Main().Library(), 1, 1, 0);
    player->Seek(500000);
    ExpectShowing(*player, editor.Main().Library(), preview.At(500000));
    EXPECT_EQ(preview.At(500000).From, 0);
    EXPECT_EQ(preview.At(500000).Effect, 6);
    player->Seek(60 * qvx::kMicrosPerSecond);  // then it holds
    EXPECT_TRUE(player->Finished());
    ExpectShowing(*player, editor.Main().Library(), preview.At(preview.Length()));
    // F5 in the main window puts the intro in its place; a click stops that.
    editor.Activate();
    QTest::keyClick(&editor.Main(), Qt::Key_F5);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(player);
    player = Player(editor);
    ASSERT_TRUE(player);
    QTest::mouseClick(player, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(player);
}

TEST(Player, NothingToPlayIsSaid) {
    TEditor editor;
    editor.Trigger(editor.Main().mnuPlayIntro);
    editor.Trigger(editor.Main().mnuPreviewTransition);
    EXPECT_EQ(editor.Dialogs.Notes.size(), 2u);
    EXPECT_EQ(Player(editor), nullptr);
}

}  // namespace
