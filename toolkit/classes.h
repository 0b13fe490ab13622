// Persistent objects, components and collections: ownership, names,
// removal notification, and the hooks the property stream uses
// (published property lists and DefineProperties).
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "sysutils.h"

namespace tk {

class TPersistent;
class TComponent;
class TReader;
class TWriter;
class TStream;

// Root of the object classes; carries the class name the property stream
// and messages use.
class TObject {
public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

#define TK_CLASSNAME(Name) \
    const char* ClassName() const override { return #Name; }

using TNotifyEvent = std::function<void(TObject* sender)>;

// ---- Published properties ---------------------------------------------------

enum class TPropKind {
    Integer,  // 32-bit signed
    Boolean,
    String,
    Enumeration,  // ordinal, written as identifier from EnumNames
    Class,        // owned persistent sub-object (collection, picture, container)
    Component,    // link to another component, written as identifier
    Method,       // event, bound by name to a handler of the program's handler table
};

struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    std::function<int64_t()> GetOrd;  // Integer, Boolean (0/1), Enumeration
    std::function<void(int64_t)> SetOrd;
    std::function<std::string()> GetStr;
    std::function<void(const std::string&)> SetStr;
    std::function<TPersistent*()> GetObject;  // Class
    std::function<TComponent*()> GetRef;      // Component
    std::function<void(TComponent*)> SetRef;
    // Method: sets the event to the handler; false when its type does not fit.
    std::function<bool(const std::any& handler)> SetHandler;
    std::vector<std::string> EnumNames;       // Enumeration
    std::optional<int64_t> Default;           // ordinal default: not written when equal
    std::function<bool()> Stored;             // null means always stored
    bool ReadOnly() const;
};

// Builder used by GetProperties overrides; order of calls is stream order.
class TPropList {
public:
    TPropInfo& Integer(std::string name, std::function<int64_t()> get, std::function<void(int64_t)> set,
                       std::optional<int64_t> def = std::nullopt);
    TPropInfo& Boolean(std::string name, std::function<bool()> get, std::function<void(bool)> set,
                       std::optional<bool> def = std::nullopt);
    TPropInfo& String(std::string name, std::function<std::string()> get,
                      std::function<void(const std::string&)> set);
    TPropInfo& Enumeration(std::string name, std::vector<std::string> names, std::function<int64_t()> get,
                           std::function<void(int64_t)> set, std::optional<int64_t> def = std::nullopt);
    TPropInfo& Object(std::string name, std::function<TPersistent*()> get);
    TPropInfo& Component(std::string name, std::function<TComponent*()> get, std::function<void(TComponent*)> set);
    TPropInfo& Method(std::string name, std::function<bool(const std::any&)> setHandler);
    // An event property over a std::function member. Its handler's name is
    // kept by the component (HandlerName) so the data can be written back.
    template <class Handler>
    TPropInfo& Event(std::string name, Handler& field) {
        return Method(std::move(name), [&field](const std::any& handler) {
            const auto* f = std::any_cast<Handler>(&handler);
            if (f) field = *f;
            return f != nullptr;
        });
    }

    // Lookup without regard to ASCII case.
    TPropInfo* Find(const std::string& name);
    const std::vector<TPropInfo>& Items() const { return items_; }

private:
    std::vector<TPropInfo> items_;
};

// The filer interface DefineProperties talks to: a writer asks each
// definition for its data when hasData is true; a reader calls the read
// function of the definition whose name matches.
class TFiler {
public:
    virtual ~TFiler() = default;
    virtual void DefineProperty(const std::string& name, std::function<void(TReader&)> readData,
                                std::function<void(TWriter&)> writeData, bool hasData) = 0;
    virtual void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)> readData,
                                      std::function<void(TStream&)> writeData, bool hasData) = 0;
};

// ---- TPersistent --------------------------------------------------------------

class TPersistent : public TObject {
public:
    TK_CLASSNAME(TPersistent)
    // Copies source into this object: source.AssignTo(*this) unless a
    // subclass knows the source; unknown pairs raise "Cannot assign a %s to a %s".
    virtual void Assign(const TPersistent& source);
    // Published properties, base class first.
    virtual void GetProperties(TPropList& props);
    // Extra (unpublished) stream properties, base class first.
    virtual void DefineProperties(TFiler& filer);

protected:
    virtual void AssignTo(TPersistent& dest) const;
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

// ---- TComponent ---------------------------------------------------------------

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1,
    csReading = 2,
    csWriting = 4,
    csDestroying = 8,
    csDesigning = 16,
};

class TComponent : public TPersistent {
public:
    TK_CLASSNAME(TComponent)
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    virtual void SetName(const std::string& name);
    int32_t Tag = 0;
    // Design position (left, top), carried by files only.
    int16_t DesignLeft = 0;
    int16_t DesignTop = 0;

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_[static_cast<size_t>(index)]; }
    int ComponentIndex() const;
    // Owned component by name, without regard to ASCII case; null when none.
    TComponent* FindComponent(const std::string& name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void DestroyComponents();

    // Asks `component` to be told (Notification opRemove) when this one goes,
    // whoever owns it. Links across owners use this.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    unsigned ComponentState() const { return state_; }
    bool HasState(unsigned flag) const { return (state_ & flag) != 0; }
    void SetDesigning(bool on);
    // Property-stream reading sets csLoading, then calls Loaded().
    void BeginLoading() { state_ |= csLoading | csReading; }
    void EndReading() { state_ &= ~csReading; }
    // After a failed read: leaves the loading state without Loaded().
    void AbandonLoading() { state_ &= ~(csLoading | csReading); }
    virtual void Loaded();

    void GetProperties(TPropList& props) override;
    void DefineProperties(TFiler& filer) override;
    // The name of the handler an event property was bound to from form
    // data ("" when none); written back as the event's value.
    std::string HandlerName(const std::string& event) const;
    void SetHandlerName(const std::string& event, const std::string& handler);
    // Owned components written after this one's properties in form data.
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

protected:
    // Told when `component` is inserted or removed; the base forwards to
    // every owned component so links anywhere in the tree get cleared.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void Insert(TComponent* c);
    void Remove(TComponent* c);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;    // owned
    std::vector<TComponent*> freeNotifies_;  // told when this one is destroyed
    std::vector<std::pair<std::string, std::string>> handlerNames_;  // event, handler
    unsigned state_ = 0;
};

// ---- Collections ----------------------------------------------------------------

class TCollection;

class TCollectionItem : public TPersistent {
public:
    TK_CLASSNAME(TCollectionItem)
    explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
    TCollection* Collection() const { return collection_; }
    int Index() const;
    void SetIndex(int index);

private:
    friend class TCollection;
    TCollection* collection_;
};

class TCollection : public TPersistent {
public:
    TK_CLASSNAME(TCollection)
    using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
    TCollection(ItemFactory factory, TPersistent* owner) : factory_(std::move(factory)), owner_(owner) {}
    ~TCollection() override;

    TPersistent* Owner() const { return owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem* Items(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    TCollectionItem* Add();
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void Move(int from, int to);
    int IndexOf(const TCollectionItem* item) const;
    // Replaces the items by copies (each new item Assign-ed from the source's).
    void Assign(const TPersistent& source) override;

private:
    ItemFactory factory_;
    TPersistent* owner_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
};

// ---- Handlers ----------------------------------------------------------------------

// The handlers a program offers to its form data, by name: an event
// property "OnFlip = ScreenFlip" binds to the handler named ScreenFlip.
class THandlerTable {
public:
    // Adds or replaces a handler. The event type is taken from a lambda with
    // fixed parameter types, or given: Add<TNotifyEvent>("FormActivate", f).
    template <class Handler = void, class F>
    void Add(const std::string& name, F handler) {
        if constexpr (std::is_void_v<Handler>) {
            std::function fn = std::move(handler);
            Put(name, std::any(std::move(fn)));
        } else {
            Put(name, std::any(Handler(std::move(handler))));
        }
    }
    // Null when no handler of that name (any ASCII case) was added.
    const std::any* Find(const std::string& name) const;

private:
    void Put(const std::string& name, std::any handler);
    std::vector<std::pair<std::string, std::any>> handlers_;
};

// ---- Class registry ---------------------------------------------------------------

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, TComponentFactory factory);
template <class T>
void RegisterComponentClass(const std::string& className) {
    RegisterComponentClass(className, [](TComponent* owner) -> TComponent* { return new T(owner); });
}
// Null when no class of that name (any ASCII case) is registered.
const TComponentFactory* FindComponentClass(const std::string& className);

// ASCII case-insensitive comparison, as names are matched in streams.
bool SameText(const std::string& a, const std::string& b);

}  // namespace tk
