#include "propstream.h"

#include <iterator>

namespace tk {

namespace {

using L = TValueLayout;
constexpr TValueTypeInfo kValueTypes[] = {
    {TValueType::vaNull, "Null", L::None, 0},
    {TValueType::vaList, "List", L::Values, 0},
    {TValueType::vaInt8, "Int8", L::Fixed, 1},
    {TValueType::vaInt16, "Int16", L::Fixed, 2},
    {TValueType::vaInt32, "Int32", L::Fixed, 4},
    {TValueType::vaExtended, "Extended", L::Fixed, 10},
    {TValueType::vaString, "String", L::Counted8, 1},
    {TValueType::vaIdent, "Ident", L::Counted8, 1},
    {TValueType::vaFalse, "False", L::None, 0},
    {TValueType::vaTrue, "True", L::None, 0},
    {TValueType::vaBinary, "Binary", L::Counted32, 1},
    {TValueType::vaSet, "Set", L::Names, 0},
    {TValueType::vaLString, "LString", L::Counted32, 1},
    {TValueType::vaNil, "Nil", L::None, 0},
    {TValueType::vaCollection, "Collection", L::Items, 0},
    {TValueType::vaSingle, "Single", L::Fixed, 4},
    {TValueType::vaCurrency, "Currency", L::Fixed, 8},
    {TValueType::vaDate, "Date", L::Fixed, 8},
    {TValueType::vaWString, "WString", L::Counted32, 2},
    {TValueType::vaInt64, "Int64", L::Fixed, 8},
    {TValueType::vaUTF8String, "UTF8String", L::Counted32, 1},
};

constexpr bool TableInTagOrder() {
    for (size_t i = 0; i < std::size(kValueTypes); ++i)
        if (static_cast<size_t>(kValueTypes[i].Type) != i) return false;
    return true;
}
static_assert(TableInTagOrder(), "the value-type table is indexed by tag");
}  // namespace

const TValueTypeInfo* FindValueType(uint8_t tag) {
    return tag < std::size(kValueTypes) ? &kValueTypes[tag] : nullptr;
}

// ---- TComponent's design position ------------------------------------------------

void TComponent::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        "Left", [this](TReader& r) { DesignLeft = static_cast<int16_t>(r.ReadInteger()); },
        [this](TWriter& w) { w.WriteInteger(DesignLeft); }, DesignLeft != 0);
    filer.DefineProperty(
        "Top", [this](TReader& r) { DesignTop = static_cast<int16_t>(r.ReadInteger()); },
        [this](TWriter& w) { w.WriteInteger(DesignTop); }, DesignTop != 0);
}

// ---- Resource header ----------------------------------------------------------------

int64_t WriteResourceHeader(TStream& stream, const std::string& name) {
    std::string upper = name.substr(0, 63);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    std::vector<uint8_t> h;
    h.push_back(0xFF);
    h.push_back(10);
    h.push_back(0);
    h.insert(h.end(), upper.begin(), upper.end());
    h.push_back(0);
    h.push_back(0x30);
    h.push_back(0x10);
    stream.WriteBuffer(h.data(), static_cast<int64_t>(h.size()));
    int64_t lengthOffset = stream.Position();
    stream.WriteLE<uint32_t>(0);
    return lengthOffset;
}

void FixupResourceHeader(TStream& stream, int64_t lengthOffset) {
    int64_t end = stream.Position();
    int64_t len = end - (lengthOffset + 4);
    stream.SetPosition(lengthOffset);
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(len));
    stream.SetPosition(end);
}

void ReadResourceHeader(TStream& stream) {
    // A file that does not start with 0xFF, 10 is not a resource, however
    // short it is; one that does and then ends is cut short.
    uint8_t head[3] = {0, 0, 0};
    const int64_t got = stream.Read(head, 3);
    if (got < 2 || head[0] != 0xFF || head[1] != 10) throw EFilerError(msg::SInvalidImage);
    if (got < 3) throw EReadError(msg::SReadError);
    if (head[2] != 0) throw EFilerError(msg::SInvalidImage);
    // Name up to its 0 byte, then flags and body length: not checked.
    uint8_t c;
    do {
        stream.ReadBuffer(&c, 1);
    } while (c != 0);
    uint8_t rest[6];
    stream.ReadBuffer(rest, 6);
}

// ---- Form data ---------------------------------------------------------------------

std::vector<uint8_t> WriteComponentData(TComponent& root) {
    TMemoryStream ms;
    {
        TWriter w(ms);
        w.WriteRootComponent(root);
    }
    return ms.TakeBytes();
}

void ReadComponentData(const std::vector<uint8_t>& data, TComponent& root) {
    TPointerStream s(data.data(), static_cast<int64_t>(data.size()));
    TReader r(s);
    r.ReadRootComponent(root, false);
}

TComponent* CreateComponentFromData(const std::vector<uint8_t>& data, TComponent* owner) {
    TPointerStream s(data.data(), static_cast<int64_t>(data.size()));
    TReader r(s);
    return r.ReadRootComponent(owner);
}

void TDataModule::GetChildren(const std::function<void(TComponent*)>& proc, TComponent*) {
    for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
}

namespace {
std::vector<TComponent*>& Globals() {
    static std::vector<TComponent*> g;
    return g;
}
}  // namespace

void RegisterGlobalComponent(TComponent* c) {
    auto& g = Globals();
    if (std::find(g.begin(), g.end(), c) == g.end()) g.push_back(c);
}

void UnregisterGlobalComponent(TComponent* c) {
    auto& g = Globals();
    g.erase(std::remove(g.begin(), g.end(), c), g.end());
}

TComponent* FindGlobalComponent(const std::string& name) {
    for (TComponent* c : Globals())
        if (SameText(c->Name(), name)) return c;
    return nullptr;
}

}  // namespace tk
