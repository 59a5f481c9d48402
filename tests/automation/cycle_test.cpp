// Reference cycles a script can build are freed once nothing outside holds
// them, and nothing that is still held is freed.
#include <gtest/gtest.h>

#include "automation/collection.h"
#include "library/client.h"
#include "platform/registry.h"
#include "tests/support/simulated.h"

namespace vorlek {
namespace {

using client::Dispatch;

class Cycles : public testing_support::SimulatedTest {
  protected:
    uint64_t before = Object::live_count();
};

TEST_F(Cycles, RemovingTheLastLinkOfACycleLeavesTheCollectionWhole) {
    {
        Dispatch c(Variant(make<Collection>()));
        {
            Dispatch other(Variant(make<Collection>()));
            other.call(u"Add", {c.object()});
            c.call(u"Add", {other.object()});
        }
        c.call(u"Add", {c.object()});
        c.call(u"Add", {u"after"});
        // Each removal lets go of a link of the cycle while the items move up.
        c.call(u"Remove", {1});
        c.call(u"Remove", {1});
        EXPECT_EQ(c.get(u"Count").to_long(), 1);
        EXPECT_EQ(c.call(u"Item", {1}).to_string(), u"after");
    }
    EXPECT_EQ(Object::live_count(), before);
}

TEST_F(Cycles, ScriptBuiltCyclesAreFreedWithTheirLastOutsideReference) {
    {
        Dispatch c(Variant(make<Collection>()));
        c.call(u"Add", {c.object()});
        c.call(u"Add", {u"text"});
    }
    {
        Dispatch s = client::create(u"Vorlek.Stringer");
        s.call(u"InitSeperator", {u"a;b;c", u";"});
        Dispatch(s.get(u"SepStrings")).call(u"Add", {s.object()});
    }
    {
        Dispatch comp = client::create(u"Vorlek.Computer");
        Dispatch(comp.get(u"Computers")).call(u"Add", {comp.object(), u"me"});
    }
    {
        // A collection handed to a Process, which then holds the Process.
        Dispatch p = client::create(u"Vorlek.Process");
        Dispatch list(Variant(make<Collection>()));
        p.set(u"Processes", Variant(list.object()));
        list.call(u"Add", {p.object()});
    }
    for (const char16_t* progid : {u"Vorlek.UserManager", u"Vorlek.GroupManager"}) {
        Dispatch o = client::create(progid);
        o.call(progid[7] == u'U' ? u"InitUsers" : u"InitGroups", {u"DC01"});
        Dispatch(o.get(progid[7] == u'U' ? u"Users" : u"Groups")).call(u"Add", {o.object()});
    }
    {
        // A key in each of its own listings.
        Dispatch r = client::create(u"Vorlek.Registry");
        r.call(u"OpenRegistry", {static_cast<int32_t>(platform::hkey::kLocalMachine)});
        r.call(u"OpenRegKey", {static_cast<int32_t>(platform::reg::kRead), u"SOFTWARE"});
        for (StringView fill : {u"InitRegSubKeys", u"InitRegValues", u"InitRegRights"})
            r.call(fill);
        for (StringView list : {u"RegSubKeys", u"RegValues", u"RegRights"})
            Dispatch(r.get(list)).call(u"Add", {r.object()});
        r.call(u"CloseRegistry");
    }
    {
        // A service listing that holds the object that made it.
        Dispatch s = client::create(u"Vorlek.Service");
        s.call(u"InitServices", {0x30});
        Dispatch(s.get(u"Services")).call(u"Add", {s.object()});
    }
    {
        // Two collections holding each other, and one holding itself twice.
        Dispatch a(Variant(make<Collection>())), b(Variant(make<Collection>()));
        a.call(u"Add", {b.object()});
        b.call(u"Add", {a.object()});
        b.call(u"Add", {b.object()});
        b.call(u"Add", {b.object()});
    }
    {
        // Through an array, as VBScript's `c.Add Array(c, 1)` builds it.
        auto c = make<Collection>();
        Variant inner = Variant::variant_array({Variant(c), 1});
        c->add(Variant::variant_array({inner, inner}));
    }
    EXPECT_EQ(Object::live_count(), before);
}

TEST_F(Cycles, WhatIsStillHeldStaysWhole) {
    Ref<Collection> kept;
    {
        auto a = make<Collection>(), b = make<Collection>();
        a->add(Variant(b));
        b->add(Variant(a));
        b->add(u"payload");
        kept = b;
    }  // a is released, but b still holds it and b is held
    {
        // An array held outside keeps the cycle through it, until it goes.
        Variant shared = Variant::variant_array({Variant(kept)});
        kept->add(shared);
        Collection* alone = kept.get();
        kept = nullptr;
        ASSERT_EQ(alone->Count(), 3);
        kept = Ref<Collection>(alone);
        release_value(shared);
        ASSERT_EQ(kept->Count(), 3);
        kept->Remove(3);
    }
    ASSERT_EQ(kept->Count(), 2);
    auto a = kept->object_at<Collection>(0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->object_at<Collection>(0), kept);
    // Removing the item that closes the cycle leaves plain references.
    a->Remove(1);
    a = nullptr;
    EXPECT_EQ(kept->Count(), 2);
    kept = nullptr;
    EXPECT_EQ(Object::live_count(), before);
}

TEST_F(Cycles, AnArrayWasTheLastOutsideHolder) {
    auto c = make<Collection>();
    Variant outside = Variant::variant_array({Variant(c)});
    c->add(outside);
    c = nullptr;
    EXPECT_EQ(Object::live_count(), before + 1);
    release_value(outside);
    EXPECT_EQ(Object::live_count(), before);
}

TEST_F(Cycles, AnEnumeratorOverItsOwnCollection) {
    {
        auto c = make<Collection>();
        c->add(Variant(c->NewEnum()));
    }
    EXPECT_EQ(Object::live_count(), before);
}

}  // namespace
}  // namespace vorlek
