// TReader: the binary form stream read back into objects, buffered, with
// large blocks read straight into their place.
#include "propstream.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace tk {

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
        const int64_t base = SeekBase(origin, pos_, length_);
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

TReader::TReader(TStream& stream) : stream_(stream), buf_(kFilerBufferSize) {
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
    if (std::memcmp(sig, kFilerSignature, 4) != 0) throw EFilerError(msg::SInvalidImage);
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

}  // namespace tk
