// The hi-colour image library: an ordered list of named true-colour
// pictures, saved as .HCL files (a resource header around the property
// stream) and carried in form data.
#pragma once

#include <memory>
#include <string>

#include "toolkit/classes.h"
#include "toolkit/picture.h"
#include "toolkit/propstream.h"

namespace qvx {

class TQVXHiColorImagelib;

/// What a library asks of the screen it is linked to: rebuild the image
/// surfaces from the library after each successful load.
class IHiColorLibScreen {
public:
    virtual ~IHiColorLibScreen() = default;
    virtual void LoadHiColorLib(TQVXHiColorImagelib* library) = 0;
};

/// One named picture of a hi-colour library.
class TQVXImageItem : public tk::TCollectionItem {
public:
    TK_CLASSNAME(TQVXImageItem)
    explicit TQVXImageItem(tk::TCollection* collection);

    tk::TPicture& Image() { return image_; }
    const tk::TPicture& Image() const { return image_; }
    // Copies the given picture into the item's own picture.
    void SetImage(const tk::TPicture& picture) { image_.Assign(picture); }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    void Assign(const tk::TPersistent& source) override;
    void GetProperties(tk::TPropList& props) override;

private:
    tk::TPicture image_;
    std::string name_;
};

class TQVXCollection : public tk::TCollection {
public:
    TK_CLASSNAME(TQVXCollection)
    explicit TQVXCollection(TQVXHiColorImagelib* owner);
    TQVXImageItem* Add() { return static_cast<TQVXImageItem*>(tk::TCollection::Add()); }
    TQVXImageItem* Items(int index) const { return static_cast<TQVXImageItem*>(tk::TCollection::Items(index)); }
    TQVXImageItem* operator[](int index) const { return Items(index); }
};

/// A hi-colour image library (.HCL) on a form: named true-colour pictures
/// (bitmaps or JPEGs), as Hueshelf makes them. Linked as a screen's
/// HiColorLib (or loaded with the screen's LoadHiColorLib), its pictures
/// become the screen's ImageSurfaces, index for index.
class TQVXHiColorImagelib : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXHiColorImagelib)
    explicit TQVXHiColorImagelib(tk::TComponent* owner);
    ~TQVXHiColorImagelib() override;

    TQVXCollection* Images() const { return images_.get(); }
    // Replaces the items by copies (name and picture) of the given ones.
    void SetImages(const TQVXCollection& images) { images_->Assign(images); }
    int Count() const { return images_->Count(); }

    bool UseTransparent = false;
    tk::TComponent* QVXScreen() const { return screen_; }
    // Links a screen (a component that is an IHiColorLibScreen); null or any
    // other component clears the link. The link is forgotten when the
    // screen is removed.
    void SetQVXScreen(tk::TComponent* screen);

    // Writes the library as an .HCL file. The new file takes the old one's
    // place only once completely written.
    void SaveToFile(const std::string& fileName);
    // Replaces the contents with an .HCL file's, then asks the linked screen
    // to rebuild its image surfaces. `hooks` see the file's object name and
    // raw picture data as they are read.
    void LoadFromFile(const std::string& fileName, const tk::TReadHooks* hooks = nullptr);
    void SaveToStream(tk::TStream& stream);
    void LoadFromStream(tk::TStream& stream, const tk::TReadHooks* hooks = nullptr);

    void GetProperties(tk::TPropList& props) override;

protected:
    void Notification(tk::TComponent* component, tk::TOperation operation) override;

private:
    std::unique_ptr<TQVXCollection> images_;
    tk::TComponent* screen_ = nullptr;
};

inline constexpr const char* kHiColorResourceName = "QVX_HI_COLOR_LIB";

// Makes TQVXHiColorImagelib creatable from form data by its class name.
void RegisterHiColorClasses();

}  // namespace qvx
