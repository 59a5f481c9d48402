#include "automation/collection.h"

#include <gtest/gtest.h>

#include "bench/heap.h"
#include "tests/support/errors.h"

namespace vorlek {
namespace {

using testing_support::error_of;

TEST(Collection, KeysIgnoreCaseAndDuplicatesAddNothing) {
    auto c = make<Collection>();
    c->add(1, u"Alpha");
    c->add(2);
    c->add(3, u"beta");
    EXPECT_EQ(c->Item(u"ALPHA"), Variant(1));
    EXPECT_EQ(c->Item(u"Beta"), Variant(3));
    EXPECT_EQ(error_of([&] { c->add(4, u"alpha"); }), err::kDuplicateKey);
    EXPECT_EQ(c->Count(), 3);
    EXPECT_EQ(c->Item(3), Variant(3));
}

TEST(Collection, BadIndexIsNineUnknownKeyIsFive) {
    auto c = make<Collection>();
    c->add(u"x", u"k");
    EXPECT_EQ(error_of([&] { c->Item(0); }), err::kSubscript);
    EXPECT_EQ(error_of([&] { c->Item(2); }), err::kSubscript);
    EXPECT_EQ(error_of([&] { c->Item(u"nope"); }), err::kInvalidCall);
    // A numeric String is a key, not a position.
    EXPECT_EQ(error_of([&] { c->Item(u"1"); }), err::kInvalidCall);
    EXPECT_EQ(error_of([&] { c->Remove(u"nope"); }), err::kInvalidCall);
}

TEST(Collection, RemoveKeepsKeyLookupsRight) {
    auto c = make<Collection>();
    for (int i = 1; i <= 5; ++i)
        c->add(i, String(u"k") + decimal(i));
    c->Remove(2);
    c->Remove(u"K4");
    EXPECT_EQ(c->Count(), 3);
    EXPECT_EQ(c->Item(u"k5"), Variant(5));
    EXPECT_EQ(c->Item(u"k3"), Variant(3));
    EXPECT_EQ(c->Item(2), Variant(3));
    // A removed key can be used again.
    c->add(9, u"k2");
    EXPECT_EQ(c->Item(u"k2"), Variant(9));
}

// Enough keys to grow the index several times, removals by key and by
// position spread over it, and removed keys used again.
TEST(Collection, ManyKeysStayFoundThroughRemovals) {
    auto c = make<Collection>();
    const auto key = [](int i) { return String(u"Key") + decimal(i); };
    for (int i = 0; i < 3000; ++i)
        c->add(i, key(i));
    for (int i = 2999; i >= 0; i -= 3)
        c->Remove(String(u"KEY") + decimal(i));
    c->Remove(1);  // "Key0"
    ASSERT_EQ(c->Count(), 1999);
    EXPECT_EQ(c->Item(1), Variant(1));
    for (int i = 1; i < 3000; ++i) {
        const Variant* found = c->find(key(i));
        if (i % 3 == 2) {
            EXPECT_EQ(found, nullptr) << i;
        } else {
            ASSERT_NE(found, nullptr) << i;
            EXPECT_EQ(*found, Variant(i));
        }
    }
    for (int i = 2; i < 3000; i += 3)
        c->add(-i, key(i));
    EXPECT_EQ(c->Item(u"key2"), Variant(-2));
    EXPECT_EQ(error_of([&] { c->add(0, u"KEY2999"); }), err::kDuplicateKey);
    EXPECT_EQ(c->Count(), 2999);
    EXPECT_EQ(c->Item(2999), Variant(-2999));
}

// A listing's count of what remains sizes its room at once, but a count far
// beyond the items seen (a server's word) is not believed: no huge
// allocation, no failure, and the items still all fit as they come.
TEST(Collection, RoomForBatchesBelievesTheirCountOnlySoFar) {
    auto c = make<Collection>();
    const size_t before = bench::heap_in_use();
    c->make_room(2, 8, SIZE_MAX);
    c->make_room(0, 0, SIZE_MAX);
    if (bench::kHeapCounted) {
        EXPECT_LT(bench::heap_in_use() - before, size_t{16} << 10);
    }
    // A key's count of sub-keys as a server may give it: room (and an
    // index) for a million items at most, not for two thousand million.
    auto told = make<Collection>();
    const size_t told_before = bench::heap_in_use();
    told->reserve(size_t{1} << 31);
    told->add(1, u"only");
    if (bench::kHeapCounted) {
        EXPECT_LT(bench::heap_in_use() - told_before, size_t{128} << 20);
    }
    EXPECT_EQ(told->Item(u"ONLY"), Variant(1));
    for (int i = 0; i < 300; ++i) {
        if (i % 100 == 0) c->make_room(100, 600, 300 - i);
        c->add(i, String(u"Key") + decimal(i));
    }
    ASSERT_EQ(c->Count(), 300);
    EXPECT_EQ(c->Item(u"key299"), Variant(299));
}

TEST(Collection, EnumeratorSurvivesChangesUnderIt) {
    auto c = make<Collection>();
    for (int i = 1; i <= 3; ++i)
        c->add(i);
    auto e = ref_cast<CollectionEnumerator>(c->NewEnum());
    Variant v;
    ASSERT_TRUE(e->next(v));
    c->Remove(1);  // the walk goes on by position: [2, 3], next is 3
    ASSERT_TRUE(e->next(v));
    EXPECT_EQ(v, Variant(3));
    EXPECT_FALSE(e->next(v));
    c->Remove(1);
    c->Remove(1);
    EXPECT_FALSE(e->next(v));
    e->reset();
    EXPECT_FALSE(e->next(v));
}

TEST(Collection, ObjectsAreReleasedWithTheCollection) {
    const uint64_t before = Object::live_count();
    {
        auto c = make<Collection>();
        c->add(Variant(make<Collection>()), u"inner");
        EXPECT_EQ(Object::live_count(), before + 2);
    }
    EXPECT_EQ(Object::live_count(), before);
}

}  // namespace
}  // namespace vorlek
