// The property stream: exact bytes written, values read back, and the
// messages bad data gets.
#include <gtest/gtest.h>

#include "toolkit/propstream.h"

using namespace tk;

namespace {

using Bytes = std::vector<uint8_t>;

// A persistent sub-object with one binary property, like a picture.
class TBlob : public TPersistent {
public:
    TK_CLASSNAME(TBlob)
    Bytes data;
    void DefineProperties(TFiler& filer) override {
        filer.DefineBinaryProperty(
            "Data",
            [this](TStream& s) {
                data.resize(static_cast<size_t>(s.Size()));
                s.ReadBuffer(data.data(), s.Size());
            },
            [this](TStream& s) { s.WriteBuffer(data.data(), static_cast<int64_t>(data.size())); }, !data.empty());
    }
};

class TThing : public TCollectionItem {
public:
    TK_CLASSNAME(TThing)
    using TCollectionItem::TCollectionItem;
    TBlob blob;
    std::string name;
    int32_t size = 0;
    void GetProperties(TPropList& p) override {
        p.Object("Blob", [this] { return &blob; });
        p.String("Name", [this] { return name; }, [this](const std::string& s) { name = s; });
        p.Integer("Size", [this] { return size; }, [this](int64_t v) { size = static_cast<int32_t>(v); }, 0);
    }
    void Assign(const TPersistent& src) override {
        auto& t = dynamic_cast<const TThing&>(src);
        blob.data = t.blob.data;
        name = t.name;
        size = t.size;
    }
};

enum TMood { mdCalm, mdBusy };

class TWidget : public TComponent {
public:
    TK_CLASSNAME(TWidget)
    explicit TWidget(TComponent* owner)
        : TComponent(owner),
          things([](TCollection* c) { return std::make_unique<TThing>(c); }, this) {}
    bool flag = false;
    int mood = mdCalm;
    std::string caption;
    int64_t number = 0;
    TComponent* link = nullptr;
    TCollection things;
    void GetProperties(TPropList& p) override {
        TComponent::GetProperties(p);
        p.Boolean("Flag", [this] { return flag; }, [this](bool v) { flag = v; });
        p.Enumeration("Mood", {"mdCalm", "mdBusy"}, [this] { return mood; }, [this](int64_t v) { mood = int(v); },
                      mdCalm);
        p.String("Caption", [this] { return caption; }, [this](const std::string& s) { caption = s; });
        p.Integer("Number", [this] { return number; }, [this](int64_t v) { number = v; }, 0);
        p.Component("Link", [this] { return link; }, [this](TComponent* c) { link = c; });
        p.Object("Things", [this] { return &things; });
    }
};

struct Registered {
    Registered() {
        RegisterComponentClass<TWidget>("TWidget");
        RegisterComponentClass<TDataModule>("TDataModule");
    }
} registered;

Bytes Str(const std::string& s) {
    Bytes b(s.size() + 1);
    b[0] = static_cast<uint8_t>(s.size());
    std::copy(s.begin(), s.end(), b.begin() + 1);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    size_t n = 0;
    for (auto& p : parts) n += p.size();
    Bytes out(n);
    auto it = out.begin();
    for (auto& p : parts) it = std::copy(p.begin(), p.end(), it);
    return out;
}

std::string ReadError(const Bytes& data, TComponent& into) {
    try {
        ReadComponentData(data, into);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

}  // namespace

TEST(PropertyStream, WritesTheSmallestIntegerTagAndStringKinds) {
    TWidget w(nullptr);
    w.SetName("W1");
    w.flag = true;
    w.Tag = 200;             // 16-bit
    w.number = -70000;       // 32-bit
    w.caption.assign(300, 'x');  // long string, tag 12
    Bytes got = WriteComponentData(w);
    Bytes want = Cat({{'T', 'P', 'F', '0'},
                      Str("TWidget"),
                      Str("W1"),
                      Str("Tag"),
                      {3, 200, 0},
                      Str("Flag"),
                      {9},
                      Str("Caption"),
                      {12, 0x2C, 0x01, 0, 0},
                      Bytes(300, 'x'),
                      Str("Number"),
                      {4, 0x90, 0xEE, 0xFE, 0xFF},
                      Str("Things"),
                      {14, 0},
                      {0, 0}});
    EXPECT_EQ(got, want);

    TWidget back(nullptr);
    ReadComponentData(got, back);
    EXPECT_EQ(back.Name(), "W1");
    EXPECT_EQ(back.Tag, 200);
    EXPECT_TRUE(back.flag);
    EXPECT_EQ(back.number, -70000);
    EXPECT_EQ(back.caption, std::string(300, 'x'));
}

TEST(PropertyStream, CollectionsNestedPathsAndBinaryRoundTrip) {
    TWidget w(nullptr);
    w.SetName("W");
    auto* a = static_cast<TThing*>(w.things.Add());
    a->blob.data = {1, 2, 3};
    a->name = "first";
    auto* b = static_cast<TThing*>(w.things.Add());
    b->size = 5;  // no blob, no name: only Size
    Bytes data = WriteComponentData(w);
    Bytes itemA = Cat({{1}, Str("Blob.Data"), {10, 3, 0, 0, 0, 1, 2, 3}, Str("Name"), {6, 5}, {'f', 'i', 'r', 's', 't'}, {0}});
    Bytes itemB = Cat({{1}, Str("Size"), {2, 5}, {0}});
    Bytes expectThings = Cat({Str("Things"), {14}, itemA, itemB, {0}});
    EXPECT_NE(std::search(data.begin(), data.end(), expectThings.begin(), expectThings.end()), data.end());

    TWidget back(nullptr);
    static_cast<TThing*>(back.things.Add())->name = "old";  // replaced by the stream's items
    ReadComponentData(data, back);
    ASSERT_EQ(back.things.Count(), 2);
    auto* ra = static_cast<TThing*>(back.things.Items(0));
    EXPECT_EQ(ra->blob.data, (Bytes{1, 2, 3}));
    EXPECT_EQ(ra->name, "first");
    EXPECT_EQ(static_cast<TThing*>(back.things.Items(1))->size, 5);
}

TEST(PropertyStream, ReaderToleratesPrefixItemIndexAndNameCase) {
    // 0xF2 prefix with a child position, item index before tag 1, names in
    // another case, an empty collection in the stream keeping existing items.
    Bytes data = Cat({{'T', 'P', 'F', '0'}, {0xF2, 2, 7}, Str("TWidget"), Str("X"), Str("FLAG"), {9},
                      Str("things"), {14, 2, 0, 1}, Str("name"), {6, 1, 'n'}, {0}, {0}, Str("mood"), {7}, Str("MDBUSY"),
                      {0, 0}});
    TWidget w(nullptr);
    ReadComponentData(data, w);
    EXPECT_TRUE(w.flag);
    EXPECT_EQ(w.mood, mdBusy);
    ASSERT_EQ(w.things.Count(), 1);
    EXPECT_EQ(static_cast<TThing*>(w.things.Items(0))->name, "n");

    Bytes empty = Cat({{'T', 'P', 'F', '0'}, Str("TWidget"), Str("X"), Str("Things"), {14, 0}, {0, 0}});
    ReadComponentData(empty, w);
    EXPECT_EQ(w.things.Count(), 1) << "an empty collection in the stream does not clear";
}

TEST(PropertyStream, BadDataGetsWrappedMessages) {
    TWidget w(nullptr);
    w.SetName("Lib1");
    Bytes head = Cat({{'T', 'P', 'F', '0'}, Str("TWidget"), Str("Other")});
    EXPECT_EQ(ReadError(Cat({head, Str("Nope"), {2, 1}, {0, 0}}), w),
              "Error reading Other.Nope: Property does not exist");
    EXPECT_EQ(ReadError(Cat({head, Str("Flag"), {6, 1, 'x'}, {0, 0}}), w),
              "Error reading Other.Flag: Invalid property value");
    // Inside an item the item's class name stands for the object.
    EXPECT_EQ(ReadError(Cat({head, Str("Things"), {14, 1}, Str("Blob.Data"), {10, 0xFF, 0xFF, 0xFF, 0xFF}}), w),
              "Error reading TThing.Blob.Data: Stream read error");
    EXPECT_EQ(ReadError(Cat({head, Str("Mood"), {7}, Str("mdAngry"), {0, 0}}), w),
              "Error reading Other.Mood: Invalid property value");
    // Ends early outside any entry.
    EXPECT_EQ(ReadError(Cat({head}), w), "Stream read error");
    EXPECT_EQ(ReadError(Bytes{'T', 'P', 'F', '1'}, w), "Invalid stream format");
    // A 4 GB long string in a small stream fails at once.
    EXPECT_EQ(ReadError(Cat({head, Str("Caption"), {12, 0xFF, 0xFF, 0xFF, 0xFF}}), w),
              "Error reading Other.Caption: Stream read error");
    EXPECT_FALSE(w.HasState(csLoading));
}

TEST(PropertyStream, ChildrenAndReferencesThroughTheClassRegistry) {
    TDataModule form(nullptr);
    form.SetName("Form1");
    auto* target = new TWidget(&form);
    target->SetName("Target");
    auto* linker = new TWidget(&form);
    linker->SetName("Linker");
    linker->link = target;
    linker->DesignLeft = 208;
    linker->DesignTop = 72;
    Bytes data = WriteComponentData(form);

    std::unique_ptr<TComponent> back(CreateComponentFromData(data, nullptr));
    ASSERT_EQ(back->ComponentCount(), 2);
    auto* l = dynamic_cast<TWidget*>(back->FindComponent("Linker"));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->link, back->FindComponent("Target"));
    EXPECT_EQ(l->DesignLeft, 208);
    EXPECT_EQ(l->DesignTop, 72);
    EXPECT_FALSE(l->HasState(csLoading));
    EXPECT_EQ(WriteComponentData(*back), data) << "written twice, identical";
}

TEST(ResourceHeader, NameUpperCasedCutAndLengthPatched) {
    TMemoryStream s;
    int64_t at = WriteResourceHeader(s, "qvx_hi_color_lib");
    EXPECT_EQ(s.Size(), 26);
    s.WriteBuffer("abcde", 5);
    FixupResourceHeader(s, at);
    const Bytes& b = s.Bytes();
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 10);
    EXPECT_EQ(std::string(b.begin() + 3, b.begin() + 19), "QVX_HI_COLOR_LIB");
    EXPECT_EQ(b[20], 0x30);
    EXPECT_EQ(b[21], 0x10);
    EXPECT_EQ(b[22], 5);
    EXPECT_EQ(s.Position(), 31);

    TMemoryStream longName;
    WriteResourceHeader(longName, std::string(100, 'a'));
    EXPECT_EQ(longName.Size(), 63 + 10);

    s.SetPosition(0);
    ReadResourceHeader(s);
    EXPECT_EQ(s.Position(), 26);
    TMemoryStream bad(Bytes{0xFF, 11, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_THROW(ReadResourceHeader(bad), EFilerError);
}

// Blocks larger than the reader's buffer come partly from it and partly
// straight from the stream; read back exactly from a stream that can seek
// and from one that cannot.
TEST(PropertyStream, LargeBinaryBlocksReadExactlyWithOrWithoutSeeking) {
    TWidget w(nullptr);
    w.SetName("W");
    for (size_t size : {40000u, 70000u, 150000u, 33u, 100000u}) {
        auto* t = static_cast<TThing*>(w.things.Add());
        t->name = "n" + std::to_string(size);
        for (size_t i = 0; i < size; ++i) t->blob.data.push_back(static_cast<uint8_t>(i * 7 + size));
    }
    const Bytes data = WriteComponentData(w);

    // Answers only "where am I": every other seek fails, as on a pipe.
    class TForwardStream : public TPointerStream {
    public:
        using TPointerStream::TPointerStream;
        int64_t Seek(int64_t offset, TSeekOrigin origin) override {
            if (origin == TSeekOrigin::soCurrent && offset == 0) return TPointerStream::Seek(0, origin);
            return -1;
        }
    };
    TPointerStream seekable(data.data(), static_cast<int64_t>(data.size()));
    TForwardStream forward(data.data(), static_cast<int64_t>(data.size()));
    for (TStream* s : {static_cast<TStream*>(&seekable), static_cast<TStream*>(&forward)}) {
        TWidget back(nullptr);
        {
            TReader r(*s);
            r.ReadRootComponent(back, false);
        }
        ASSERT_EQ(back.things.Count(), w.things.Count());
        for (int i = 0; i < w.things.Count(); ++i) {
            auto* want = static_cast<TThing*>(w.things.Items(i));
            auto* got = static_cast<TThing*>(back.things.Items(i));
            EXPECT_EQ(got->blob.data, want->blob.data) << i;
            EXPECT_EQ(got->name, want->name);
        }
    }
}
