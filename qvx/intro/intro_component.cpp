#include "intro_component.h"

#include <vector>

#include "toolkit/streams.h"

namespace qvx {

namespace {

void Check(TLoadResult result) {
    if (result == TLoadResult::InvalidMagic) throw tk::Exception(SInvalidLibrary);
}

}  // namespace

TQVXIntroSlides::TQVXIntroSlides() : FLibrary(std::make_unique<TIntroLibrary>()) {}

TQVXIntroSlides::~TQVXIntroSlides() = default;

void TQVXIntroSlides::DefineProperties(tk::TFiler& filer) {
    tk::TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "Slides",
        [this](tk::TStream& s) {
            std::vector<uint8_t> bytes(static_cast<size_t>(s.Remaining()));
            s.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            Check(FLibrary->LoadFromBytes(bytes));
        },
        [this](tk::TStream& s) {
            const std::vector<uint8_t> bytes = FLibrary->SaveToBytes();
            s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        },
        FLibrary->SlideCount() > 0);
}

void TQVXIntroSlides::AssignTo(tk::TPersistent& dest) const {
    auto* d = dynamic_cast<TQVXIntroSlides*>(&dest);
    if (!d) return TPersistent::AssignTo(dest);
    if (d == this) return;
    Check(d->FLibrary->LoadFromBytes(FLibrary->SaveToBytes()));
    d->FLibrary->SetFileName(FLibrary->FileName());
}

TQVXIntroLib::TQVXIntroLib(tk::TComponent* owner)
    : tk::TComponent(owner), FSlides(std::make_unique<TQVXIntroSlides>()) {}

TQVXIntroLib::~TQVXIntroLib() = default;

void TQVXIntroLib::LoadFromFile(const std::string& fileName) {
    const std::string name = fileName;  // the argument may be the library's own name
    Check(Library().LoadFromFile(name));
}

void TQVXIntroLib::GetProperties(tk::TPropList& props) {
    tk::TComponent::GetProperties(props);
    props.Object("Slides", [this]() -> tk::TPersistent* { return FSlides.get(); });
}

void RegisterIntroClasses() { tk::RegisterComponentClass<TQVXIntroLib>("TQVXIntroLib"); }

}  // namespace qvx
