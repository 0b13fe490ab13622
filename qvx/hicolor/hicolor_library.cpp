#include "hicolor_library.h"

#include "toolkit/propstream.h"
#include "toolkit/streams.h"

namespace qvx {

// ---- TQVXImageItem ------------------------------------------------------------

TQVXImageItem::TQVXImageItem(tk::TCollection* collection) : tk::TCollectionItem(collection) {}

void TQVXImageItem::Assign(const tk::TPersistent& source) {
    if (auto* src = dynamic_cast<const TQVXImageItem*>(&source)) {
        image_.Assign(src->image_);
        name_ = src->name_;
        return;
    }
    tk::TCollectionItem::Assign(source);
}

void TQVXImageItem::GetProperties(tk::TPropList& props) {
    props.Object("Image", [this] { return &image_; });
    props.String("Name", [this] { return name_; }, [this](const std::string& s) { name_ = s; });
}

// ---- TQVXCollection -------------------------------------------------------------

TQVXCollection::TQVXCollection(TQVXHiColorImagelib* owner)
    : tk::TCollection([](tk::TCollection* c) { return std::make_unique<TQVXImageItem>(c); }, owner) {}

// ---- TQVXHiColorImagelib ----------------------------------------------------------

TQVXHiColorImagelib::TQVXHiColorImagelib(tk::TComponent* owner)
    : tk::TComponent(owner), images_(std::make_unique<TQVXCollection>(this)) {}

TQVXHiColorImagelib::~TQVXHiColorImagelib() = default;

void TQVXHiColorImagelib::SetQVXScreen(tk::TComponent* screen) {
    if (screen && !dynamic_cast<IHiColorLibScreen*>(screen)) screen = nullptr;
    if (screen == screen_) return;
    if (screen_) screen_->RemoveFreeNotification(this);
    screen_ = screen;
    if (screen_) screen_->FreeNotification(this);
}

void TQVXHiColorImagelib::Notification(tk::TComponent* component, tk::TOperation operation) {
    tk::TComponent::Notification(component, operation);
    if (operation == tk::TOperation::opRemove && component == screen_) screen_ = nullptr;
}

void TQVXHiColorImagelib::GetProperties(tk::TPropList& props) {
    tk::TComponent::GetProperties(props);
    props.Component("QVXScreen", [this] { return screen_; }, [this](tk::TComponent* c) { SetQVXScreen(c); });
    props.Boolean("UseTransparent", [this] { return UseTransparent; }, [this](bool v) { UseTransparent = v; });
    props.Object("Images", [this] { return images_.get(); });
}

void TQVXHiColorImagelib::SaveToStream(tk::TStream& stream) {
    int64_t lengthOffset = tk::WriteResourceHeader(stream, kHiColorResourceName);
    {
        tk::TWriter writer(stream);
        writer.WriteRootComponent(*this);
        writer.Flush();
    }
    tk::FixupResourceHeader(stream, lengthOffset);
}

void TQVXHiColorImagelib::SaveToFile(const std::string& fileName) {
    tk::TSafeFileStream file(fileName);
    SaveToStream(file);
    file.Commit();
}

void TQVXHiColorImagelib::LoadFromStream(tk::TStream& stream, const tk::TReadHooks* hooks) {
    images_->Clear();
    tk::ReadResourceHeader(stream);
    tk::TReader reader(stream);
    reader.SetHooks(hooks);
    // The library keeps its own object name, whatever the file's says.
    reader.ReadRootComponent(*this, /*keepName=*/true);
}

void TQVXHiColorImagelib::LoadFromFile(const std::string& fileName, const tk::TReadHooks* hooks) {
    images_->Clear();
    {
        tk::TFileStream file(fileName, tk::fmOpenRead);
        LoadFromStream(file, hooks);
    }
    if (auto* screen = dynamic_cast<IHiColorLibScreen*>(screen_)) screen->LoadHiColorLib(this);
}

}  // namespace qvx

namespace qvx {
void RegisterHiColorClasses() { tk::RegisterComponentClass<TQVXHiColorImagelib>("TQVXHiColorImagelib"); }
namespace {
const bool registered = (RegisterHiColorClasses(), true);
}
}  // namespace qvx
