// Game forms loaded from form data: components by class name, references,
// events bound to the game's handlers, loaded order, and saving back.
#include <gtest/gtest.h>

#include "platform/com/backend.h"
#include "qvx/assets/sound_library.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/audio.h"
#include "qvx/runtime/formdata.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/input.h"
#include "toolkit/formtext.h"

using namespace qvx;

namespace {

std::vector<std::string> loadedOrder;

// Records when its loaded step runs.
class TProbe : public tk::TComponent {
public:
    TK_CLASSNAME(TProbe)
    using tk::TComponent::TComponent;
    void Loaded() override {
        tk::TComponent::Loaded();
        loadedOrder.push_back(Name());
    }
};

// One 16-bit mono sound of two samples.
const char* kSounds =
    "534C31300100000001000100"
    "44AC000088580100020010000000000001610000000000000000000000000000"
    "0000000004000000E803E803";

std::string FormText(const std::string& activateHandler) {
    return std::string(
               "object Game: TForm\n"
               "  Left = 0\n"
               "  Top = 0\n"
               "  Caption = 'Game'\n"
               "  ClientHeight = 200\n"
               "  ClientWidth = 300\n"
               "  OnActivate = ") +
           activateHandler +
           "\n"
           "  object Probe1: TProbe\n"
           "  end\n"
           "  object Audio1: TQVXAudio\n"
           "    SoundLibrary = Sounds1\n"
           "    OnInitialize = AudioReady\n"
           "  end\n"
           "  object Sounds1: TQVXSoundLib\n"
           "    Sounds.Sounds = {" +
           kSounds +
           "}\n"
           "  end\n"
           "  object Input1: TQVXInput\n"
           "  end\n"
           "  object Probe2: TProbe\n"
           "  end\n"
           "end\n";
}

class FormDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        tk::RegisterComponentClass<TProbe>("TProbe");
        loadedOrder.clear();
        form = app.CreateForm<TForm>();
        handlers.Add("FormActivate", [this](tk::TObject* sender) { activated.push_back(sender); });
        handlers.Add("AudioReady", [this](tk::TObject* sender) { activated.push_back(sender); });
    }
    TApplication app;
    TForm* form = nullptr;
    tk::THandlerTable handlers;
    std::vector<tk::TObject*> activated;
};

}  // namespace

TEST_F(FormDataTest, BuildsTheFormFromItsDataAndSavesTheSameData) {
    const std::vector<uint8_t> data = tk::FormTextToData(FormText("FormActivate"));
    LoadFormFromData(*form, data, handlers);

    EXPECT_EQ(form->Name(), "Game");
    EXPECT_EQ(form->Caption(), "Game");
    EXPECT_EQ(form->ClientWidth(), 300);
    ASSERT_EQ(form->ComponentCount(), 5);
    auto* audio = dynamic_cast<TQVXAudio*>(form->FindComponent("Audio1"));
    auto* sounds = dynamic_cast<TQVXSoundLib*>(form->FindComponent("Sounds1"));
    ASSERT_TRUE(audio && sounds && dynamic_cast<TQVXInput*>(form->FindComponent("Input1")));
    // The reference named a component that came later in the data.
    EXPECT_EQ(audio->SoundLibrary(), sounds);
    EXPECT_EQ(sounds->Count(), 1);
    EXPECT_EQ(loadedOrder, (std::vector<std::string>{"Probe1", "Probe2"}));

    ASSERT_TRUE(audio->OnInitialize);
    audio->OnInitialize(audio);
    EXPECT_EQ(activated, (std::vector<tk::TObject*>{audio}));
    EXPECT_EQ(SaveFormToData(*form), data);

    // The form's activation reaches the game's handler, with audio started.
    form->Show();
    app.ProcessMessages();
    EXPECT_EQ(activated.size(), 3u);
    EXPECT_EQ(activated[1], form);
    EXPECT_EQ(audio->BufferCount(), 1);
}

TEST_F(FormDataTest, AnUnregisteredHandlerIsNamed) {
    try {
        LoadFormFromData(*form, tk::FormTextToData(FormText("FormActivated")), handlers);
        FAIL() << "loaded";
    } catch (const tk::Exception& e) {
        EXPECT_STREQ(e.what(),
                     "Error reading Game.OnActivate: Handler FormActivated is not registered");
    }
    tk::THandlerTable wrongType;
    wrongType.Add("FormActivate", [](int) {});
    wrongType.Add("AudioReady", [](tk::TObject*) {});
    try {
        LoadFormFromData(*app.CreateForm<TForm>(), tk::FormTextToData(FormText("FormActivate")),
                         wrongType);
        FAIL() << "loaded";
    } catch (const tk::Exception& e) {
        EXPECT_STREQ(e.what(),
                     "Error reading Game.OnActivate: Handler FormActivate does not fit the event "
                     "OnActivate");
    }
}
