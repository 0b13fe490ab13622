// The property stream ("TPF0"): the component system's binary encoding of
// published properties, used by library files and by persisted form data.
// TWriter and TReader buffer their I/O; binary properties are read through a
// bounded view straight from the underlying stream, so large picture data
// is copied once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes.h"
#include "streams.h"

namespace tk {

enum class TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};

// How a value's payload follows its tag byte.
enum class TValueLayout : uint8_t {
    None,       // no payload
    Fixed,      // Size bytes
    Counted8,   // 8-bit count, then count x Size bytes
    Counted32,  // unsigned 32-bit count, then count x Size bytes
    Values,     // values up to vaNull (a list)
    Names,      // short strings up to an empty one (a set)
    Items,      // collection items up to vaNull
};

// One row per tag the reader knows; skipping, checking and the text form
// all work from this table.
struct TValueTypeInfo {
    TValueType Type;
    const char* Name;
    TValueLayout Layout;
    uint8_t Size;  // Fixed: payload size; Counted*: bytes per counted unit
};
// The row for a tag byte, or null for a tag no reader knows.
const TValueTypeInfo* FindValueType(uint8_t tag);

// Lists, collections and child objects nested deeper than this are
// rejected, so hostile data cannot exhaust the stack.
inline constexpr int kMaxValueNesting = 256;

// The stream's signature, and the size of the reader's and writer's buffers.
inline constexpr char kFilerSignature[4] = {'T', 'P', 'F', '0'};
inline constexpr size_t kFilerBufferSize = 64 * 1024;

// Filer flags carried by the optional 0xF0 prefix byte.
enum : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

// A property read failed: "Error reading %s%s%s: %s". Not wrapped again by
// outer properties.
TK_EXCEPTION(EPropertyReadError, EReadError);

class TWriter : public TFiler {
public:
    explicit TWriter(TStream& stream);
    ~TWriter() override;  // flushes
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    void WriteSignature();
    void WriteValue(TValueType v);
    void WriteInteger(int64_t v);  // smallest tag that holds v
    void WriteBoolean(bool v);
    void WriteString(const std::string& s);  // tag 6 below 256 bytes, else 12
    void WriteIdent(const std::string& s);
    void WriteStr(const std::string& s);  // short string, cut to 255
    void WriteRaw(const void* p, size_t n) { WriteBytes(p, n); }
    void WriteListBegin() { WriteValue(TValueType::vaList); }
    void WriteListEnd() { WriteValue(TValueType::vaNull); }
    // Tag 10, 32-bit length, then what `write` puts into the stream it is given.
    void WriteBinary(const std::function<void(TStream&)>& write);
    void WriteCollection(TCollection& collection);
    void WriteProperties(TPersistent& instance);
    void WriteComponent(TComponent& component);
    // Signature, then the root with its children.
    void WriteRootComponent(TComponent& root);
    void Flush();

    void DefineProperty(const std::string& name, std::function<void(TReader&)> readData,
                        std::function<void(TWriter&)> writeData, bool hasData) override;
    void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)> readData,
                              std::function<void(TStream&)> writeData, bool hasData) override;

    TComponent* Root() const { return root_; }

private:
    void WriteBytes(const void* p, size_t n);
    void WritePropName(const std::string& name);
    void WriteProperty(TPersistent& instance, const TPropInfo& prop);
    std::string ReferenceName(TComponent* c) const;

    TStream& stream_;
    std::vector<uint8_t> buf_;
    TComponent* root_ = nullptr;
    std::string propPath_;
};

// What a reader hands over as it reads, so that tools get the file's own
// bytes without parsing it a second time.
struct TReadHooks {
    // The root's object name as the stream gives it (also when the root
    // keeps its own name).
    std::function<void(const std::string& name)> RootName;
    // Each binary property's bytes as stored, before the property reads
    // them: the object whose entry holds it (a collection item or a
    // component) and the entry's property path ("Image.Data").
    std::function<void(TPersistent& owner, const std::string& path, const uint8_t* data, size_t size)> Binary;
    // Each collection item once all its entries are read.
    std::function<void(TCollectionItem& item)> ItemRead;
};

class TReader : public TFiler {
public:
    explicit TReader(TStream& stream);
    // Leaves the stream positioned just after what was read.
    ~TReader() override;
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    void ReadSignature();  // "TPF0" or "Invalid stream format"
    TValueType ReadValue();
    TValueType NextValue();
    bool EndOfList() { return NextValue() == TValueType::vaNull; }
    void ReadListBegin();
    void ReadListEnd();
    void CheckValue(TValueType v);
    int64_t ReadInteger();
    bool ReadBoolean();
    std::string ReadString();
    std::string ReadIdent();
    std::string ReadStr();  // short string
    void SkipValue();
    // Skips a 0xF0 + flags prefix byte (and the child position it may carry).
    void ReadPrefix(uint8_t& flags, int64_t& childPos);

    // Reads property entries into `instance` until the end of the list.
    void ReadProperties(TPersistent& instance);
    void ReadProperty(TPersistent& instance);
    void ReadCollection(TCollection& collection);

    // Reads signature, prefix, class and object names, then the root's
    // properties and children. The root's name is taken from the stream
    // unless keepName; references are resolved and Loaded() called at the
    // end.
    void ReadRootComponent(TComponent& root, bool keepName);
    // Same, creating the root by its class name (registered classes only).
    TComponent* ReadRootComponent(TComponent* owner);

    void DefineProperty(const std::string& name, std::function<void(TReader&)> readData,
                        std::function<void(TWriter&)> writeData, bool hasData) override;
    void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)> readData,
                              std::function<void(TStream&)> writeData, bool hasData) override;

    TComponent* Root() const { return root_; }
    // The handlers event properties bind to; without a table, or for a
    // name the table lacks, an event fails with "Handler %s is not registered".
    void SetHandlers(const THandlerTable* handlers) { handlers_ = handlers; }
    // Runs after everything is read and references are resolved, before the
    // loaded steps: a program's last word on what the data set.
    void SetBeforeLoaded(std::function<void()> fn) { beforeLoaded_ = std::move(fn); }
    // Null or hooks that outlive the reading.
    void SetHooks(const TReadHooks* hooks) { hooks_ = hooks; }
    int64_t Position() const;
    // Moves forward over n bytes, or "Stream read error" when fewer remain.
    void Skip(int64_t n);
    int64_t Remaining() const { return size_ - Position(); }
    // Exactly n bytes or "Stream read error".
    void Read(void* p, int64_t n);

private:
    friend class TReaderBlockStream;
    void Fill();
    void ReadComponentBody(TComponent& component);
    void ReadChildren(TComponent& root);
    void ResolveFixups();
    bool ReadPropValue(TPersistent& instance, TPropInfo& prop);
    void SeekTo(int64_t pos);
    void SkipValue(int depth);

    TStream& stream_;
    std::vector<uint8_t> buf_;
    size_t bufPos_ = 0, bufEnd_ = 0;
    int64_t streamPos_ = 0;  // underlying position of buf_[bufEnd_]
    int64_t size_ = 0;
    TComponent* root_ = nullptr;
    std::string propName_;   // the name DefineProperties is asked about
    bool canHandleExcepts_ = false;
    bool definedFound_ = false;
    int childDepth_ = 0;
    const THandlerTable* handlers_ = nullptr;
    std::function<void()> beforeLoaded_;
    struct Fixup {
        std::function<void(TComponent*)> set;
        std::string name;
    };
    std::vector<Fixup> fixups_;
    std::vector<TComponent*> loaded_;
    const TReadHooks* hooks_ = nullptr;
    TPersistent* entryOwner_ = nullptr;  // the entry being read, for hooks_->Binary
    const std::string* entryPath_ = nullptr;
};

// 16-bit resource header: 0xFF, type 10, upper-cased name (at most 63
// characters) with a 0 byte, flags 0x1030, body length.
// Writes it with length 0 and returns the offset of the length field.
int64_t WriteResourceHeader(TStream& stream, const std::string& name);
// Patches the length with the bytes written after it; leaves the position
// at the end of the body.
void FixupResourceHeader(TStream& stream, int64_t lengthOffset);
// Checks marker and type ("Invalid stream format", also for a file too short
// to hold them) and skips the rest.
void ReadResourceHeader(TStream& stream);

// Persisted form data: a root component with its properties and the
// components its GetChildren lists.
std::vector<uint8_t> WriteComponentData(TComponent& root);
void ReadComponentData(const std::vector<uint8_t>& data, TComponent& root);
// Creates the root by its class name, owned by `owner`.
TComponent* CreateComponentFromData(const std::vector<uint8_t>& data, TComponent* owner);

// A non-visual container whose form data holds every component it owns.
class TDataModule : public TComponent {
public:
    TK_CLASSNAME(TDataModule)
    using TComponent::TComponent;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
};

// Components whose names can start a dotted reference ("Form1.Screen1").
void RegisterGlobalComponent(TComponent* c);
void UnregisterGlobalComponent(TComponent* c);
TComponent* FindGlobalComponent(const std::string& name);

}  // namespace tk
