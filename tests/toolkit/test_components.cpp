#include <gtest/gtest.h>

#include "toolkit/classes.h"

using namespace tk;

namespace {
// A component that links to another one and must forget it when it goes.
class TLinker : public TComponent {
public:
    TK_CLASSNAME(TLinker)
    using TComponent::TComponent;
    TComponent* Link = nullptr;
    void SetLink(TComponent* c) {
        if (Link) Link->RemoveFreeNotification(this);
        Link = c;
        if (c) c->FreeNotification(this);
    }
    int removals = 0;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == Link) {
            Link = nullptr;
            ++removals;
        }
    }
};

int destroyed = 0;
class TCounted : public TComponent {
public:
    using TComponent::TComponent;
    ~TCounted() override { ++destroyed; }
};
}  // namespace

TEST(Components, OwnerFreesWhatItOwns) {
    destroyed = 0;
    auto* root = new TComponent(nullptr);
    new TCounted(root);
    auto* b = new TCounted(root);
    new TCounted(b);
    EXPECT_EQ(root->ComponentCount(), 2);
    delete root;
    EXPECT_EQ(destroyed, 3);
}

TEST(Components, LinksAreClearedWhenTheLinkedOneIsRemoved) {
    TComponent form(nullptr);
    auto* screen = new TComponent(&form);
    auto* lib = new TLinker(&form);
    lib->SetLink(screen);
    delete screen;
    EXPECT_EQ(lib->Link, nullptr);
    EXPECT_EQ(lib->removals, 1);

    // Across owners, through FreeNotification.
    TComponent other(nullptr);
    auto* far = new TComponent(&other);
    lib->SetLink(far);
    delete far;
    EXPECT_EQ(lib->Link, nullptr);
}

TEST(Components, FindComponentIgnoresAsciiCase) {
    TComponent form(nullptr);
    auto* c = new TComponent(&form);
    c->SetName("QVXHiColorImagelib1");
    EXPECT_EQ(form.FindComponent("qvxhicolorimagelib1"), c);
    EXPECT_EQ(form.FindComponent("other"), nullptr);
}

TEST(Persistent, AssignBetweenUnrelatedClassesNamesBoth) {
    TComponent a(nullptr);
    TCollection coll([](TCollection* c) { return std::make_unique<TCollectionItem>(c); }, nullptr);
    try {
        coll.Assign(a);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TCollection");
    }
}
