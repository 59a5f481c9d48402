// Late-bound calls through a member table, with a small class that has one
// member of each shape the library's classes use.
#include "automation/invoke.h"

#include <gtest/gtest.h>

#include "automation/checked.h"
#include "automation/collection.h"

namespace vorlek {
namespace {

class Probe : public Object {
  public:
    static const ClassInfo& info() {
        static const ClassInfo info =
            ClassBuilder<Probe>(u"Probe")
                .get<&Probe::Items>(u"Items", {}, u"auto-created collection field")
                .set<&Probe::SetItems>(u"Items")
                .get<&Probe::Found>(u"Found", {}, u"read-only collection")
                .get<&Probe::Flag>(u"Flag")
                .let<&Probe::SetFlag>(u"Flag")
                .get<&Probe::Value>(u"Value")
                .let<&Probe::SetValue>(u"Value")
                .get<&Probe::LastError>(u"LastError")
                .method<&Probe::Sum>(u"Sum",
                                     {param(u"lngA"), optional(u"lngB", 10), optional(u"strTag")})
                .method<&Probe::Swap>(u"Swap", {param(u"varA"), param(u"varB")})
                .method<&Probe::IsGiven>(u"IsGiven", {optional(u"varX")})
                .method<&Probe::Skipping>(u"Skipping", {param(u"intStart")})
                .method<&Probe::Recording>(u"Recording", {param(u"intStart")})
                .method<&Probe::Fail>(u"Fail", {})
                .method<&Probe::Escape>(u"Escape", {param(u"lngKind")})
                .get<&Probe::Lookup>(u"Lookup", {param(u"strA"), param(u"strB")})
                .constant(u"SEVEN", 7)
                .build();
        return info;
    }
    const ClassInfo& class_info() const noexcept override { return info(); }

    Ref<Collection> Items() {
        if (!items_) items_ = make<Collection>();
        return items_;
    }
    void SetItems(Ref<Collection> c) { items_ = std::move(c); }
    Ref<Collection> Found() const { return found_ ? found_ : make<Collection>(); }
    bool Flag() const { return flag_; }
    void SetFlag(bool f) { flag_ = f; }
    int32_t Value() const { return value_; }
    void SetValue(int32_t v) { value_ = v; }
    int32_t LastError() const { return last_error_; }
    String Sum(int32_t a, int32_t b, String tag) { return tag + decimal(int64_t{a} + b); }
    void Swap(Variant& a, Variant& b) { std::swap(a, b); }
    bool IsGiven(const Variant& x) const { return !x.is_missing(); }
    // Two counting steps; the first may overflow and is then skipped.
    int16_t Skipping(int16_t start) {
        int16_t n = start;
        skip([&] { checked::increment(n); });
        skip([&] { n = checked::sub<int16_t>(n, 2); });
        return n;
    }
    // Records the first failure and stops.
    int16_t Recording(int16_t start) {
        int16_t n = start;
        last_error_ = attempt([&] {
            checked::increment(n);
            n = checked::sub<int16_t>(n, 2);
        });
        return n;
    }
    void Fail() { raise(err::kInvalidCall); }
    // Exceptions no member should let out, to check the boundary holds.
    void Escape(int32_t kind) {
        if (kind == 0) throw std::bad_alloc();
        if (kind == 1) throw std::logic_error("bug");
        if (kind == 2) (void)String(kMaxStringLength + 1, u'x');  // fails before allocating
        throw kind;
    }
    String Lookup(String a, String b) const { return a + u"|" + b; }

  private:
    Ref<Collection> items_, found_;
    bool flag_ = false;
    int32_t value_ = 0;
    int32_t last_error_ = 0;
};

class InvokeTest : public ::testing::Test {
  protected:
    // Through invoke(), or through try_invoke() with the failure it
    // returns raised here, when `returned`.
    Variant go(Object& target, StringView name, uint8_t kinds, std::span<Variant> args) {
        if (!returned) return invoke(target, name, kinds, args);
        Invoked r = try_invoke(target, name, kinds, args);
        if (r.failure) throw *r.failure;
        return r.value;
    }
    Variant call(StringView name, std::vector<Variant> args = {}) {
        return go(*probe, name, MemberKind::Method | MemberKind::Get, args);
    }
    void let(StringView name, Variant v) {
        go(*probe, name, static_cast<uint8_t>(MemberKind::Let), {&v, 1});
    }
    DispatchFailure failure_of(auto&& f) {
        try {
            f();
        } catch (const DispatchError& e) {
            last_detail = e.detail();
            return e.failure();
        }
        ADD_FAILURE() << "no dispatch error";
        return DispatchFailure::Exception;
    }
    Ref<Probe> probe = make<Probe>();
    int32_t last_detail = -1;
    bool returned = false;
};

TEST_F(InvokeTest, OmittedOptionalsTakeDeclaredDefaultsOrZeroValues) {
    EXPECT_EQ(call(u"Sum", {1}), Variant(u"11"));
    EXPECT_EQ(call(u"Sum", {1, 2}), Variant(u"3"));
    EXPECT_EQ(call(u"Sum", {1, Missing{}, u"t"}), Variant(u"t11"));
    EXPECT_EQ(call(u"IsGiven"), Variant(false));
    EXPECT_EQ(call(u"IsGiven", {Variant()}), Variant(true));
}

TEST_F(InvokeTest, NamedArgumentsFillTheirParameters) {
    const ClassInfo& info = Probe::info();
    DispId sum = *info.dispid_of(u"sum");
    std::vector<Variant> positional{5};
    std::vector<NamedArgument> named{{*info.param_index(sum, u"STRTAG"), u"n"}};
    EXPECT_EQ(invoke(*probe, sum, static_cast<uint8_t>(MemberKind::Method), positional, named),
              Variant(u"n15"));
    // The same parameter twice is a count error.
    named.push_back({0, 1});
    EXPECT_EQ(failure_of([&] {
                  invoke(*probe, sum, static_cast<uint8_t>(MemberKind::Method), positional, named);
              }),
              DispatchFailure::BadParamCount);
}

TEST_F(InvokeTest, CoercionHappensBeforeTheMemberRuns) {
    let(u"Value", u"12");
    EXPECT_EQ(call(u"Value"), Variant(12));
    EXPECT_EQ(failure_of([&] { let(u"Value", u"abc"); }), DispatchFailure::TypeMismatch);
    EXPECT_EQ(call(u"Value"), Variant(12));
    EXPECT_EQ(failure_of([&] { call(u"Sum", {1, u"x"}); }), DispatchFailure::TypeMismatch);
    EXPECT_EQ(last_detail, 1);
    EXPECT_EQ(failure_of([&] { call(u"Skipping", {40000}); }), DispatchFailure::Overflow);
}

TEST_F(InvokeTest, BooleanFieldsHoldMinusOne) {
    let(u"Flag", -5);
    Variant v = call(u"Flag");
    EXPECT_EQ(v.type(), VarType::Boolean);
    EXPECT_EQ(v.to_long(), -1);
    let(u"Flag", u"False");
    EXPECT_EQ(call(u"Flag"), Variant(false));
}

TEST_F(InvokeTest, InOutArgumentsAreWrittenBack) {
    std::vector<Variant> args{1, u"two"};
    invoke(*probe, u"Swap", static_cast<uint8_t>(MemberKind::Method), args);
    EXPECT_EQ(args[0], Variant(u"two"));
    EXPECT_EQ(args[1], Variant(1));
}

// Each failure as invoke() raises it and as try_invoke() returns it.
TEST_F(InvokeTest, DispatchFailuresAClientCanSee) {
    for (bool r : {false, true}) {
        returned = r;
        SCOPED_TRACE(r ? "returned" : "raised");
        EXPECT_EQ(failure_of([&] { call(u"NoSuchMember"); }), DispatchFailure::UnknownName);
        EXPECT_EQ(failure_of([&] { call(u"Sum"); }), DispatchFailure::BadParamCount);
        EXPECT_EQ(failure_of([&] {
                      call(u"Sum", {1, 2, u"", 4});
                  }),
                  DispatchFailure::BadParamCount);
        EXPECT_EQ(failure_of([&] { let(u"LastError", 1); }), DispatchFailure::MemberNotFound);
        EXPECT_EQ(failure_of([&] { call(u"SEVEN", {1}); }), DispatchFailure::BadParamCount);
        // A member that raises on purpose reaches the client as an exception.
        EXPECT_EQ(failure_of([&] { call(u"Fail"); }), DispatchFailure::Exception);
        EXPECT_EQ(last_detail, err::kInvalidCall);
        // Whatever else escapes a member still arrives as a run-time error.
        // A String past its bound is out of memory, as for a string the
        // automation run time cannot allocate.
        ASSERT_EQ(String().max_size(), kMaxStringLength);
        const int32_t numbers[] = {err::kOutOfMemory, err::kInternal, err::kOutOfMemory,
                                   err::kInternal};
        for (int32_t kind = 0; kind < 4; ++kind) {
            EXPECT_EQ(failure_of([&] { call(u"Escape", {kind}); }), DispatchFailure::Exception);
            EXPECT_EQ(last_detail, numbers[kind]);
        }
        // An object of another class where a collection is expected.
        Variant other(make<Probe>());
        EXPECT_EQ(failure_of([&] {
                      go(*probe, u"Items", static_cast<uint8_t>(MemberKind::Set), {&other, 1});
                  }),
                  DispatchFailure::TypeMismatch);
    }
}

TEST_F(InvokeTest, OverflowInSkippingAndRecordingMembers) {
    // Skipping: the overflowing increment is dropped, the subtraction runs.
    EXPECT_EQ(call(u"Skipping", {int16_t{32767}}), Variant(int16_t{32765}));
    // Recording: the overflow ends the member and is recorded.
    EXPECT_EQ(call(u"Recording", {int16_t{32767}}), Variant(int16_t{32767}));
    EXPECT_EQ(call(u"LastError"), Variant(err::kOverflow));
    EXPECT_EQ(call(u"Recording", {int16_t{5}}), Variant(int16_t{4}));
    EXPECT_EQ(call(u"LastError"), Variant(0));
}

TEST_F(InvokeTest, CollectionPropertyForms) {
    // Auto-created field: the same collection each time, replaceable by reference.
    Ref<Object> first = call(u"Items").object();
    ASSERT_TRUE(first);
    EXPECT_EQ(call(u"Items").object(), first);
    Variant replacement(make<Collection>());
    invoke(*probe, u"Items", static_cast<uint8_t>(MemberKind::Set), {&replacement, 1});
    EXPECT_EQ(call(u"Items").object(), replacement.object());
    // Read-only: a new empty collection each time, not kept.
    Ref<Object> a = call(u"Found").object();
    EXPECT_TRUE(a);
    EXPECT_FALSE(call(u"Found").object() == a);
    // Arguments given to a collection property reach the collection's Item.
    std::vector<Variant> item{u"x", u"k"};
    invoke(*call(u"Items").object(), u"Add", static_cast<uint8_t>(MemberKind::Method), item);
    EXPECT_EQ(call(u"Items", {u"K"}), Variant(u"x"));
    EXPECT_EQ(failure_of([&] { call(u"Items", {2}); }), DispatchFailure::Exception);
    EXPECT_EQ(last_detail, err::kSubscript);
    EXPECT_EQ(failure_of([&] { call(u"Flag", {1}); }), DispatchFailure::BadParamCount);
}

TEST_F(InvokeTest, GetsWithArgumentsAndConstants) {
    EXPECT_EQ(call(u"Lookup", {u"a", 2}), Variant(u"a|2"));
    EXPECT_EQ(call(u"seven"), Variant(7));
    // Names share one dispatch id across get and let.
    EXPECT_EQ(*Probe::info().dispid_of(u"Value"), *Probe::info().dispid_of(u"VALUE"));
}

}  // namespace
}  // namespace vorlek
