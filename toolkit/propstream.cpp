#include "propstream.h"

#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cstring>
#include <iterator>

namespace tk {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
constexpr char kSignature[4] = {'T', 'P', 'F', '0'};

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

// ---- TWriter ------------------------------------------------------------------

TWriter::TWriter(TStream& stream) : stream_(stream) { buf_.reserve(kBufferSize); }

TWriter::~TWriter() {
    try {
        Flush();
    } catch (...) {
        // A destructor must not throw; callers that care call Flush().
    }
}

void TWriter::Flush() {
    if (buf_.empty()) return;
    stream_.WriteBuffer(buf_.data(), static_cast<int64_t>(buf_.size()));
    buf_.clear();
}

void TWriter::WriteBytes(const void* p, size_t n) {
    if (buf_.size() + n > kBufferSize) {
        Flush();
        if (n > kBufferSize) {
            stream_.WriteBuffer(p, static_cast<int64_t>(n));
            return;
        }
    }
    auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
}

void TWriter::WriteSignature() { WriteBytes(kSignature, 4); }

void TWriter::WriteValue(TValueType v) {
    uint8_t b = static_cast<uint8_t>(v);
    WriteBytes(&b, 1);
}

void TWriter::WriteInteger(int64_t v) {
    if (v >= -128 && v <= 127) {
        WriteValue(TValueType::vaInt8);
        int8_t x = static_cast<int8_t>(v);
        WriteBytes(&x, 1);
    } else if (v >= -32768 && v <= 32767) {
        WriteValue(TValueType::vaInt16);
        int16_t x = static_cast<int16_t>(v);
        WriteBytes(&x, 2);
    } else if (v >= INT32_MIN && v <= INT32_MAX) {
        WriteValue(TValueType::vaInt32);
        int32_t x = static_cast<int32_t>(v);
        WriteBytes(&x, 4);
    } else {
        WriteValue(TValueType::vaInt64);
        WriteBytes(&v, 8);
    }
}

void TWriter::WriteBoolean(bool v) { WriteValue(v ? TValueType::vaTrue : TValueType::vaFalse); }

void TWriter::WriteString(const std::string& s) {
    if (s.size() < 256) {
        WriteValue(TValueType::vaString);
        uint8_t n = static_cast<uint8_t>(s.size());
        WriteBytes(&n, 1);
    } else {
        WriteValue(TValueType::vaLString);
        uint32_t n = static_cast<uint32_t>(s.size());
        WriteBytes(&n, 4);
    }
    WriteBytes(s.data(), s.size());
}

void TWriter::WriteIdent(const std::string& s) {
    WriteValue(TValueType::vaIdent);
    WriteStr(s);
}

void TWriter::WriteStr(const std::string& s) {
    uint8_t n = static_cast<uint8_t>(std::min<size_t>(s.size(), 255));
    WriteBytes(&n, 1);
    WriteBytes(s.data(), n);
}

namespace {

// What a binary property writes, on its way to the stream: small writes are
// gathered, large ones go straight through.
class TGatheringStream : public TStream {
public:
    explicit TGatheringStream(TStream& out) : out_(out) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override {
        if (count <= 0) return 0;
        if (buf_.size() + static_cast<size_t>(count) > kBufferSize) {
            Flush();
            if (count >= static_cast<int64_t>(kBufferSize / 2)) return out_.Write(buffer, count);
        }
        auto* b = static_cast<const uint8_t*>(buffer);
        buf_.insert(buf_.end(), b, b + count);
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        Flush();
        return out_.Seek(offset, origin);
    }
    int64_t Size() override {
        Flush();
        return out_.Size();
    }
    void Flush() {
        if (buf_.empty()) return;
        out_.WriteBuffer(buf_.data(), static_cast<int64_t>(buf_.size()));
        buf_.clear();
    }

private:
    TStream& out_;
    std::vector<uint8_t> buf_;
};

}  // namespace

void TWriter::WriteBinary(const std::function<void(TStream&)>& write) {
    WriteValue(TValueType::vaBinary);
    uint32_t zero = 0;
    WriteBytes(&zero, 4);
    Flush();
    // The data goes to the stream (small pieces gathered); its length is
    // patched after, in place on a file.
    const int64_t start = stream_.Position();
    {
        TGatheringStream data(stream_);
        write(data);
        data.Flush();
    }
    const int64_t end = stream_.Position();
    const int64_t len = end - start;
    if (len < 0 || len > UINT32_MAX) throw EWriteError(msg::SWriteError);
    const uint32_t length = static_cast<uint32_t>(len);
    if (auto* file = dynamic_cast<THandleStream*>(&stream_)) {
        if (::pwrite(file->Handle(), &length, 4, static_cast<off_t>(start - 4)) != 4) throw EWriteError(msg::SWriteError);
        return;
    }
    stream_.SetPosition(start - 4);
    stream_.WriteLE<uint32_t>(length);
    stream_.SetPosition(end);
}

void TWriter::WritePropName(const std::string& name) { WriteStr(propPath_ + name); }

std::string TWriter::ReferenceName(TComponent* c) const {
    if (c->Owner() && c->Owner() != root_) return c->Owner()->Name() + "." + c->Name();
    return c->Name();
}

void TWriter::WriteProperty(TPersistent& instance, const TPropInfo& prop) {
    switch (prop.Kind) {
        case TPropKind::Integer:
        case TPropKind::Boolean:
        case TPropKind::Enumeration: {
            int64_t v = prop.GetOrd();
            if (prop.Default && *prop.Default == v) return;
            WritePropName(prop.Name);
            if (prop.Kind == TPropKind::Integer) {
                WriteInteger(v);
            } else if (prop.Kind == TPropKind::Boolean) {
                WriteBoolean(v != 0);
            } else {
                if (v < 0 || v >= static_cast<int64_t>(prop.EnumNames.size()))
                    WriteInteger(v);
                else
                    WriteIdent(prop.EnumNames[static_cast<size_t>(v)]);
            }
            return;
        }
        case TPropKind::String: {
            std::string s = prop.GetStr();
            if (s.empty()) return;
            WritePropName(prop.Name);
            WriteString(s);
            return;
        }
        case TPropKind::Class: {
            TPersistent* obj = prop.GetObject();
            if (!obj) return;
            if (auto* coll = dynamic_cast<TCollection*>(obj)) {
                WritePropName(prop.Name);
                WriteCollection(*coll);
                return;
            }
            // A persistent sub-object: its entries carry the path prefix.
            std::string saved = propPath_;
            propPath_ += prop.Name + ".";
            WriteProperties(*obj);
            propPath_ = saved;
            return;
        }
        case TPropKind::Component: {
            TComponent* c = prop.GetRef();
            if (!c) return;
            WritePropName(prop.Name);
            WriteIdent(ReferenceName(c));
            return;
        }
        case TPropKind::Method: {
            auto* comp = dynamic_cast<TComponent*>(&instance);
            std::string handler = comp ? comp->HandlerName(prop.Name) : std::string();
            if (handler.empty()) return;
            WritePropName(prop.Name);
            WriteIdent(handler);
            return;
        }
    }
}

void TWriter::WriteProperties(TPersistent& instance) {
    TPropList props;
    instance.GetProperties(props);
    for (const auto& p : props.Items()) {
        if (p.Stored && !p.Stored()) continue;
        WriteProperty(instance, p);
    }
    instance.DefineProperties(*this);
}

void TWriter::WriteCollection(TCollection& collection) {
    WriteValue(TValueType::vaCollection);
    std::string saved = propPath_;
    propPath_.clear();
    for (int i = 0; i < collection.Count(); ++i) {
        WriteListBegin();
        WriteProperties(*collection.Items(i));
        WriteListEnd();
    }
    propPath_ = saved;
    WriteListEnd();
}

void TWriter::WriteComponent(TComponent& component) {
    WriteStr(component.ClassName());
    WriteStr(component.Name());
    std::string saved = propPath_;
    propPath_.clear();
    WriteProperties(component);
    propPath_ = saved;
    WriteListEnd();
    component.GetChildren([this](TComponent* child) { WriteComponent(*child); }, root_);
    WriteListEnd();
}

void TWriter::WriteRootComponent(TComponent& root) {
    root_ = &root;
    WriteSignature();
    WriteComponent(root);
    Flush();
}

void TWriter::DefineProperty(const std::string& name, std::function<void(TReader&)>,
                             std::function<void(TWriter&)> writeData, bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, std::function<void(TStream&)>,
                                   std::function<void(TStream&)> writeData, bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    WriteBinary(writeData);
}

// ---- TReader ------------------------------------------------------------------

// The bytes of one binary property, read through the reader's buffer and
// then straight from the underlying stream.
class TReaderBlockStream : public TStream {
public:
    TReaderBlockStream(TReader& reader, int64_t length)
        : reader_(reader), start_(reader.Position()), length_(length) {}
    int64_t Read(void* buffer, int64_t count) override {
        int64_t n = std::max<int64_t>(0, std::min(count, length_ - pos_));
        if (n > 0) reader_.Read(buffer, n);
        pos_ += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : length_;
        int64_t p = std::clamp<int64_t>(base + offset, 0, length_);
        if (p != pos_) {
            reader_.SeekTo(start_ + p);
            pos_ = p;
        }
        return pos_;
    }
    int64_t Size() override { return length_; }
    // Moves the reader to the end of the block, whatever was consumed.
    void Finish() { Seek(0, TSeekOrigin::soEnd); }

private:
    TReader& reader_;
    int64_t start_;
    int64_t length_;
    int64_t pos_ = 0;
};

TReader::TReader(TStream& stream) : stream_(stream), buf_(kBufferSize) {
    streamPos_ = stream_.Position();
    size_ = stream_.Size();
}

TReader::~TReader() {
    try {
        stream_.SetPosition(Position());
    } catch (...) {
    }
}

int64_t TReader::Position() const { return streamPos_ - static_cast<int64_t>(bufEnd_ - bufPos_); }

void TReader::Fill() {
    size_t rest = bufEnd_ - bufPos_;
    if (rest && bufPos_) std::memmove(buf_.data(), buf_.data() + bufPos_, rest);
    bufPos_ = 0;
    bufEnd_ = rest;
    int64_t n = stream_.Read(buf_.data() + rest, static_cast<int64_t>(buf_.size() - rest));
    if (n > 0) {
        streamPos_ += n;
        bufEnd_ += static_cast<size_t>(n);
    }
}

void TReader::Read(void* p, int64_t n) {
    if (n < 0) throw EReadError(msg::SReadError);
    auto* out = static_cast<uint8_t*>(p);
    size_t avail = bufEnd_ - bufPos_;
    if (static_cast<uint64_t>(n) <= avail) {
        if (n) std::memcpy(out, buf_.data() + bufPos_, static_cast<size_t>(n));
        bufPos_ += static_cast<size_t>(n);
        return;
    }
    if (n > Remaining()) throw EReadError(msg::SReadError);
    // A large block is read whole from the stream into its place, the part
    // already buffered included: copying that part out of the buffer would
    // be a second pass over the caller's fresh memory.
    if (avail && n >= static_cast<int64_t>(buf_.size() / 2)) {
        const int64_t pos = Position();
        if (stream_.Seek(pos, TSeekOrigin::soBeginning) == pos) {
            streamPos_ = pos;
            bufPos_ = bufEnd_ = 0;
            const int64_t got = stream_.Read(out, n);
            if (got > 0) streamPos_ += got;
            if (got != n) throw EReadError(msg::SReadError);
            return;
        }
    }
    if (avail) std::memcpy(out, buf_.data() + bufPos_, avail);
    bufPos_ = bufEnd_ = 0;
    int64_t rest = n - static_cast<int64_t>(avail);
    out += avail;
    if (rest >= static_cast<int64_t>(buf_.size() / 2)) {
        int64_t got = stream_.Read(out, rest);
        if (got > 0) streamPos_ += got;
        if (got != rest) throw EReadError(msg::SReadError);
        return;
    }
    Fill();
    if (bufEnd_ < static_cast<size_t>(rest)) throw EReadError(msg::SReadError);
    std::memcpy(out, buf_.data(), static_cast<size_t>(rest));
    bufPos_ = static_cast<size_t>(rest);
}

void TReader::SeekTo(int64_t pos) {
    int64_t windowStart = streamPos_ - static_cast<int64_t>(bufEnd_);
    if (pos >= windowStart && pos <= streamPos_) {
        bufPos_ = static_cast<size_t>(pos - windowStart);
        return;
    }
    if (pos < 0 || pos > size_) throw EReadError(msg::SReadError);
    stream_.SetPosition(pos);
    streamPos_ = pos;
    bufPos_ = bufEnd_ = 0;
}

void TReader::ReadSignature() {
    char sig[4];
    Read(sig, 4);
    if (std::memcmp(sig, kSignature, 4) != 0) throw EFilerError(msg::SInvalidImage);
}

TValueType TReader::ReadValue() {
    uint8_t b;
    Read(&b, 1);
    return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
    if (bufPos_ == bufEnd_) Fill();
    if (bufPos_ == bufEnd_) throw EReadError(msg::SReadError);
    return static_cast<TValueType>(buf_[bufPos_]);
}

static EReadError InvalidValue() { return EReadError(msg::SInvalidPropertyValue); }

void TReader::CheckValue(TValueType v) {
    if (ReadValue() != v) throw InvalidValue();
}

void TReader::ReadListBegin() { CheckValue(TValueType::vaList); }
void TReader::ReadListEnd() { CheckValue(TValueType::vaNull); }

int64_t TReader::ReadInteger() {
    switch (ReadValue()) {
        case TValueType::vaInt8: {
            int8_t v;
            Read(&v, 1);
            return v;
        }
        case TValueType::vaInt16: {
            int16_t v;
            Read(&v, 2);
            return v;
        }
        case TValueType::vaInt32: {
            int32_t v;
            Read(&v, 4);
            return v;
        }
        case TValueType::vaInt64: {
            int64_t v;
            Read(&v, 8);
            return v;
        }
        default: throw InvalidValue();
    }
}

bool TReader::ReadBoolean() {
    TValueType v = ReadValue();
    if (v == TValueType::vaTrue) return true;
    if (v == TValueType::vaFalse) return false;
    throw InvalidValue();
}

std::string TReader::ReadStr() {
    uint8_t n;
    Read(&n, 1);
    std::string s(n, '\0');
    Read(s.data(), n);
    return s;
}

std::string TReader::ReadString() {
    TValueType v = ReadValue();
    uint32_t n = 0;
    switch (v) {
        case TValueType::vaString: {
            uint8_t b;
            Read(&b, 1);
            n = b;
            break;
        }
        case TValueType::vaLString:
        case TValueType::vaUTF8String:
        case TValueType::vaWString: Read(&n, 4); break;
        default: throw InvalidValue();
    }
    if (v == TValueType::vaWString) {
        if (int64_t(n) * 2 > Remaining()) throw EReadError(msg::SReadError);
        std::u16string w(n, u'\0');
        Read(w.data(), int64_t(n) * 2);
        return QString::fromUtf16(w.data(), static_cast<qsizetype>(n)).toStdString();
    }
    if (n > Remaining()) throw EReadError(msg::SReadError);
    std::string s(n, '\0');
    Read(s.data(), n);
    return s;
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
        case TValueType::vaIdent: return ReadStr();
        case TValueType::vaFalse: return "False";
        case TValueType::vaTrue: return "True";
        case TValueType::vaNil: return "nil";
        case TValueType::vaNull: return "Null";
        default: throw InvalidValue();
    }
}

void TReader::Skip(int64_t n) {
    if (n < 0 || n > Remaining()) throw EReadError(msg::SReadError);
    SeekTo(Position() + n);
}

void TReader::SkipValue() {
    SkipValue(0);
}

void TReader::SkipValue(int depth) {
    if (depth > kMaxValueNesting) throw InvalidValue();
    const TValueTypeInfo* info = FindValueType(static_cast<uint8_t>(ReadValue()));
    if (!info) throw InvalidValue();
    switch (info->Layout) {
        case TValueLayout::None:
            return;
        case TValueLayout::Fixed:
            Skip(info->Size);
            return;
        case TValueLayout::Counted8: {
            uint8_t n;
            Read(&n, 1);
            Skip(int64_t(n) * info->Size);
            return;
        }
        case TValueLayout::Counted32: {
            uint32_t n;
            Read(&n, 4);
            Skip(int64_t(n) * info->Size);
            return;
        }
        case TValueLayout::Values:
            while (!EndOfList()) SkipValue(depth + 1);
            ReadListEnd();
            return;
        case TValueLayout::Names:
            while (!ReadStr().empty()) {
            }
            return;
        case TValueLayout::Items:
            while (!EndOfList()) {
                TValueType v = NextValue();
                if (v == TValueType::vaInt8 || v == TValueType::vaInt16 || v == TValueType::vaInt32)
                    SkipValue(depth);
                ReadListBegin();
                while (!EndOfList()) {
                    ReadStr();
                    SkipValue(depth + 1);
                }
                ReadListEnd();
            }
            ReadListEnd();
            return;
    }
    throw InvalidValue();
}

void TReader::ReadPrefix(uint8_t& flags, int64_t& childPos) {
    flags = 0;
    childPos = 0;
    if ((static_cast<uint8_t>(NextValue()) & 0xF0) == 0xF0) {
        flags = static_cast<uint8_t>(ReadValue()) & 0x0F;
        if (flags & ffChildPos) childPos = ReadInteger();
    }
}

bool TReader::ReadPropValue(TPersistent& instance, TPropInfo& prop) {
    switch (prop.Kind) {
        case TPropKind::Integer: {
            int64_t v = ReadInteger();
            if (prop.SetOrd) prop.SetOrd(v);
            return true;
        }
        case TPropKind::Boolean: {
            bool v = ReadBoolean();
            if (prop.SetOrd) prop.SetOrd(v ? 1 : 0);
            return true;
        }
        case TPropKind::Enumeration: {
            std::string id = ReadIdent();
            for (size_t i = 0; i < prop.EnumNames.size(); ++i)
                if (SameText(prop.EnumNames[i], id)) {
                    if (prop.SetOrd) prop.SetOrd(static_cast<int64_t>(i));
                    return true;
                }
            throw InvalidValue();
        }
        case TPropKind::String: {
            std::string s = ReadString();
            if (prop.SetStr) prop.SetStr(s);
            return true;
        }
        case TPropKind::Class: {
            TPersistent* obj = prop.GetObject ? prop.GetObject() : nullptr;
            if (NextValue() == TValueType::vaNil) {
                ReadValue();
                return true;
            }
            auto* coll = dynamic_cast<TCollection*>(obj);
            if (!coll || NextValue() != TValueType::vaCollection) throw InvalidValue();
            ReadValue();
            ReadCollection(*coll);
            return true;
        }
        case TPropKind::Component: {
            if (NextValue() == TValueType::vaNil) {
                ReadValue();
                if (prop.SetRef) prop.SetRef(nullptr);
                return true;
            }
            std::string name = ReadIdent();
            if (prop.SetRef) fixups_.push_back({prop.SetRef, name});
            return true;
        }
        case TPropKind::Method: {
            std::string name = ReadIdent();
            const std::any* handler = handlers_ ? handlers_->Find(name) : nullptr;
            if (!handler) throw EReadError(Format(msg::SHandlerNotRegistered, name.c_str()));
            if (!prop.SetHandler || !prop.SetHandler(*handler))
                throw EReadError(Format(msg::SHandlerDoesNotFit, name.c_str(), prop.Name.c_str()));
            if (auto* comp = dynamic_cast<TComponent*>(&instance))
                comp->SetHandlerName(prop.Name, name);
            return true;
        }
    }
    return false;
}

void TReader::ReadProperty(TPersistent& instance) {
    const std::string path = ReadStr();
    // The entry being read, for the binary hook; nested entries (collection
    // items) put the outer one back when done.
    struct Entry {
        TReader& r;
        TPersistent* owner;
        const std::string* path;
        ~Entry() { r.entryOwner_ = owner, r.entryPath_ = path; }
    } restore{*this, entryOwner_, entryPath_};
    entryOwner_ = &instance;
    entryPath_ = &path;
    try {
        TPersistent* obj = &instance;
        size_t start = 0;
        for (size_t dot; (dot = path.find('.', start)) != std::string::npos; start = dot + 1) {
            TPropList props;
            obj->GetProperties(props);
            TPropInfo* p = props.Find(path.substr(start, dot - start));
            TPersistent* sub = p && p->Kind == TPropKind::Class && p->GetObject ? p->GetObject() : nullptr;
            if (!sub) throw EReadError(msg::SUnknownProperty);
            obj = sub;
        }
        const std::string last = path.substr(start);
        TPropList props;
        obj->GetProperties(props);
        if (TPropInfo* p = props.Find(last)) {
            ReadPropValue(*obj, *p);
        } else {
            propName_ = last;
            definedFound_ = false;
            obj->DefineProperties(*this);
            propName_.clear();
            if (!definedFound_) throw EReadError(msg::SUnknownProperty);
        }
    } catch (const EPropertyReadError&) {
        throw;
    } catch (const Exception& e) {
        propName_.clear();
        auto* comp = dynamic_cast<TComponent*>(&instance);
        std::string inst = comp ? comp->Name() : instance.ClassName();
        throw EPropertyReadError(Format(msg::SPropertyException, inst.c_str(), ".", path.c_str(), e.Message().c_str()));
    }
}

void TReader::ReadProperties(TPersistent& instance) {
    while (!EndOfList()) ReadProperty(instance);
    ReadListEnd();
}

void TReader::ReadCollection(TCollection& collection) {
    if (!EndOfList()) collection.Clear();
    while (!EndOfList()) {
        TValueType v = NextValue();
        if (v == TValueType::vaInt8 || v == TValueType::vaInt16 || v == TValueType::vaInt32) ReadInteger();
        TCollectionItem* item = collection.Add();
        ReadListBegin();
        while (!EndOfList()) ReadProperty(*item);
        ReadListEnd();
        if (hooks_ && hooks_->ItemRead) hooks_->ItemRead(*item);
    }
    ReadListEnd();
}

void TReader::DefineProperty(const std::string& name, std::function<void(TReader&)> readData,
                             std::function<void(TWriter&)>, bool) {
    if (definedFound_ || propName_.empty() || !readData || !SameText(name, propName_)) return;
    definedFound_ = true;
    propName_.clear();
    readData(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, std::function<void(TStream&)> readData,
                                   std::function<void(TStream&)>, bool) {
    if (definedFound_ || propName_.empty() || !readData || !SameText(name, propName_)) return;
    definedFound_ = true;
    propName_.clear();
    CheckValue(TValueType::vaBinary);
    uint32_t len;
    Read(&len, 4);
    if (len > Remaining()) throw EReadError(msg::SReadError);
    if (hooks_ && hooks_->Binary && entryOwner_ && entryPath_) {
        // The block is read once into memory, shown to the hook and then
        // given to the property from there.
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[len ? len : 1]);
        Read(bytes.get(), len);
        hooks_->Binary(*entryOwner_, *entryPath_, bytes.get(), len);
        TPointerStream block(bytes.get(), len);
        readData(block);
        return;
    }
    TReaderBlockStream block(*this, len);
    readData(block);
    block.Finish();
}

void TReader::ReadComponentBody(TComponent& component) {
    while (!EndOfList()) ReadProperty(component);
    ReadListEnd();
    ReadChildren(component);
}

void TReader::ReadChildren(TComponent&) {
    if (++childDepth_ > kMaxValueNesting) throw EFilerError(msg::SInvalidImage);
    while (!EndOfList()) {
        uint8_t flags;
        int64_t childPos;
        ReadPrefix(flags, childPos);
        std::string cls = ReadStr();
        std::string name = ReadStr();
        TComponent* child = root_->FindComponent(name);
        if (!child) {
            const TComponentFactory* factory = FindComponentClass(cls);
            if (!factory) throw EClassNotFound(Format(msg::SClassNotFound, cls.c_str()));
            child = (*factory)(root_);
            child->SetName(name);
        }
        child->BeginLoading();
        loaded_.push_back(child);
        ReadComponentBody(*child);
    }
    ReadListEnd();
    --childDepth_;
}

void TReader::ResolveFixups() {
    for (auto& f : fixups_) {
        TComponent* target = nullptr;
        const std::string& n = f.name;
        if (auto dot = n.find('.'); dot != std::string::npos) {
            std::string owner = n.substr(0, dot), rest = n.substr(dot + 1);
            TComponent* o = SameText(root_->Name(), owner) ? root_ : FindGlobalComponent(owner);
            if (o) target = o->FindComponent(rest);
        } else {
            target = SameText(root_->Name(), n) ? root_ : root_->FindComponent(n);
            if (!target) target = FindGlobalComponent(n);
        }
        // A name that cannot be found yet stays unresolved.
        if (target) f.set(target);
    }
    fixups_.clear();
}

void TReader::ReadRootComponent(TComponent& root, bool keepName) {
    root_ = &root;
    loaded_.clear();
    childDepth_ = 0;
    try {
        ReadSignature();
        uint8_t flags;
        int64_t childPos;
        ReadPrefix(flags, childPos);
        ReadStr();  // class name
        std::string name = ReadStr();
        if (!keepName) root.SetName(name);
        if (hooks_ && hooks_->RootName) hooks_->RootName(name);
        root.BeginLoading();
        loaded_.push_back(&root);
        ReadComponentBody(root);
        ResolveFixups();
        if (beforeLoaded_) beforeLoaded_();
    } catch (...) {
        for (TComponent* c : loaded_) c->AbandonLoading();
        loaded_.clear();
        fixups_.clear();
        throw;
    }
    for (TComponent* c : loaded_) c->EndReading();
    auto loaded = std::move(loaded_);
    for (TComponent* c : loaded) c->Loaded();
}

TComponent* TReader::ReadRootComponent(TComponent* owner) {
    int64_t start = Position();
    ReadSignature();
    uint8_t flags;
    int64_t childPos;
    ReadPrefix(flags, childPos);
    std::string cls = ReadStr();
    const TComponentFactory* factory = FindComponentClass(cls);
    if (!factory) throw EClassNotFound(Format(msg::SClassNotFound, cls.c_str()));
    SeekTo(start);
    std::unique_ptr<TComponent> root((*factory)(nullptr));
    ReadRootComponent(*root, false);
    if (owner) owner->InsertComponent(root.get());
    return root.release();
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
