#include "classes.h"

#include <algorithm>
#include <map>

namespace tk {

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

// ---- TPropList ------------------------------------------------------------------

bool TPropInfo::ReadOnly() const {
    switch (Kind) {
        case TPropKind::String: return !SetStr;
        case TPropKind::Class: return false;
        case TPropKind::Component: return !SetRef;
        case TPropKind::Method:
            return !SetHandler;
        default: return !SetOrd;
    }
}

TPropInfo& TPropList::Integer(std::string name, std::function<int64_t()> get, std::function<void(int64_t)> set,
                              std::optional<int64_t> def) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Integer;
    p.GetOrd = std::move(get);
    p.SetOrd = std::move(set);
    p.Default = def;
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::Boolean(std::string name, std::function<bool()> get, std::function<void(bool)> set,
                              std::optional<bool> def) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Boolean;
    p.GetOrd = [get = std::move(get)] { return get() ? 1 : 0; };
    if (set) p.SetOrd = [set = std::move(set)](int64_t v) { set(v != 0); };
    if (def) p.Default = *def ? 1 : 0;
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::String(std::string name, std::function<std::string()> get,
                             std::function<void(const std::string&)> set) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::String;
    p.GetStr = std::move(get);
    p.SetStr = std::move(set);
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::Enumeration(std::string name, std::vector<std::string> names, std::function<int64_t()> get,
                                  std::function<void(int64_t)> set, std::optional<int64_t> def) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Enumeration;
    p.EnumNames = std::move(names);
    p.GetOrd = std::move(get);
    p.SetOrd = std::move(set);
    p.Default = def;
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::Object(std::string name, std::function<TPersistent*()> get) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Class;
    p.GetObject = std::move(get);
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::Method(std::string name, std::function<bool(const std::any&)> setHandler) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Method;
    p.SetHandler = std::move(setHandler);
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo& TPropList::Component(std::string name, std::function<TComponent*()> get,
                                std::function<void(TComponent*)> set) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = TPropKind::Component;
    p.GetRef = std::move(get);
    p.SetRef = std::move(set);
    items_.push_back(std::move(p));
    return items_.back();
}

TPropInfo* TPropList::Find(const std::string& name) {
    for (auto& p : items_)
        if (SameText(p.Name, name)) return &p;
    return nullptr;
}

// ---- TPersistent ------------------------------------------------------------------

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const { dest.AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
    const char* sourceName = source ? source->ClassName() : "nil";
    throw EConvertError(Format(msg::SAssignError, sourceName, ClassName()));
}

void TPersistent::GetProperties(TPropList&) {}
void TPersistent::DefineProperties(TFiler&) {}

// ---- TComponent ---------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Tell everyone who asked; they may remove themselves from our list.
    while (!freeNotifies_.empty()) {
        TComponent* c = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& theirs = c->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        c->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) { name_ = name; }

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& v = owner_->components_;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::Insert(TComponent* c) {
    components_.push_back(c);
    c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
    components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
    c->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (component->owner_) component->owner_->RemoveComponent(component);
    Insert(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    Notification(component, TOperation::opRemove);
    Remove(component);
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        Remove(c);
        delete c;
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
    if (component) {
        auto& theirs = component->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    }
}

void TComponent::SetDesigning(bool on) {
    if (on)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
}

void TComponent::Loaded() { state_ &= ~(csLoading | csReading); }

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    // Copy: a handler may change the list.
    std::vector<TComponent*> owned = components_;
    for (TComponent* c : owned)
        if (c != component) c->Notification(component, operation);
}

void TComponent::GetProperties(TPropList& props) {
    props.Integer("Tag", [this] { return Tag; }, [this](int64_t v) { Tag = static_cast<int32_t>(v); }, 0);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>&, TComponent*) {}

std::string TComponent::HandlerName(const std::string& event) const {
    for (const auto& [e, h] : handlerNames_)
        if (SameText(e, event)) return h;
    return {};
}

void TComponent::SetHandlerName(const std::string& event, const std::string& handler) {
    for (auto& [e, h] : handlerNames_)
        if (SameText(e, event)) {
            h = handler;
            return;
        }
    handlerNames_.emplace_back(event, handler);
}

const std::any* THandlerTable::Find(const std::string& name) const {
    for (const auto& [n, h] : handlers_)
        if (SameText(n, name)) return &h;
    return nullptr;
}

void THandlerTable::Put(const std::string& name, std::any handler) {
    for (auto& [n, h] : handlers_)
        if (SameText(n, name)) {
            h = std::move(handler);
            return;
        }
    handlers_.emplace_back(name, std::move(handler));
}

// DefineProperties of TComponent ("Left", "Top") lives with the property
// stream reader and writer, in propstream.cpp.

// ---- Collections --------------------------------------------------------------------

int TCollectionItem::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TCollectionItem::SetIndex(int index) {
    int cur = Index();
    if (cur >= 0 && index != cur) collection_->Move(cur, index);
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Add() {
    items_.push_back(factory_(this));
    return items_.back().get();
}

void TCollection::Delete(int index) { items_.erase(items_.begin() + index); }

void TCollection::Clear() {
    // Destroy from the end so items never see a half-cleared list.
    while (!items_.empty()) items_.pop_back();
}

void TCollection::Exchange(int a, int b) { std::swap(items_.at(static_cast<size_t>(a)), items_.at(static_cast<size_t>(b))); }

void TCollection::Move(int from, int to) {
    if (from == to) return;
    auto item = std::move(items_.at(static_cast<size_t>(from)));
    items_.erase(items_.begin() + from);
    if (to < 0) to = 0;
    if (to > Count()) to = Count();
    items_.insert(items_.begin() + to, std::move(item));
}

int TCollection::IndexOf(const TCollectionItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
}

void TCollection::Assign(const TPersistent& source) {
    if (auto* src = dynamic_cast<const TCollection*>(&source)) {
        if (src == this) return;
        Clear();
        for (int i = 0; i < src->Count(); ++i) Add()->Assign(*src->Items(i));
        return;
    }
    TPersistent::Assign(source);
}

// ---- Class registry -----------------------------------------------------------------

namespace {
struct Registry {
    std::vector<std::pair<std::string, TComponentFactory>> entries;
};
Registry& TheRegistry() {
    static Registry r;
    return r;
}
}  // namespace

void RegisterComponentClass(const std::string& className, TComponentFactory factory) {
    auto& r = TheRegistry();
    for (auto& e : r.entries)
        if (SameText(e.first, className)) {
            e.second = std::move(factory);
            return;
        }
    r.entries.emplace_back(className, std::move(factory));
}

const TComponentFactory* FindComponentClass(const std::string& className) {
    for (auto& e : TheRegistry().entries)
        if (SameText(e.first, className)) return &e.second;
    return nullptr;
}

}  // namespace tk
