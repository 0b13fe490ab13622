// TWriter: properties into the binary form stream, buffered.
#include "propstream.h"

#include <algorithm>
#include <cstring>

namespace tk {

// ---- TWriter ------------------------------------------------------------------

TWriter::TWriter(TStream& stream) : stream_(stream) { buf_.reserve(kFilerBufferSize); }

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
    if (buf_.size() + n > kFilerBufferSize) {
        Flush();
        if (n > kFilerBufferSize) {
            stream_.WriteBuffer(p, static_cast<int64_t>(n));
            return;
        }
    }
    auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
}

void TWriter::WriteSignature() { WriteBytes(kFilerSignature, 4); }

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
        if (buf_.size() + static_cast<size_t>(count) > kFilerBufferSize) {
            Flush();
            if (count >= static_cast<int64_t>(kFilerBufferSize / 2)) return out_.Write(buffer, count);
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

}  // namespace tk
