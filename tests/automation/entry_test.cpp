// Function-table entries made from the member functions: each receives its
// arguments in their binary form and hands their addresses, its own address
// and the result pointer to the installed routine.
#include <gtest/gtest.h>

#include <cstring>

#include "automation/member.h"

namespace vorlek {
namespace {

class Shapes : public Object {
  public:
    static const ClassInfo& info() {
        static const ClassInfo info =
            ClassBuilder<Shapes>(u"Shapes")
                .method<&Shapes::Mixed>(
                    u"Mixed", {param(u"strA"), param(u"lngB"), param(u"intC"), param(u"bteD"),
                               param(u"booE"), param(u"dblF"), param(u"datG")})
                .method<&Shapes::Variants>(u"Variants", {param(u"varIn"), param(u"varInOut")})
                .let<&Shapes::SetValue>(u"Value")
                .constant(u"SEVEN", 7)
                .build();
        return info;
    }
    const ClassInfo& class_info() const noexcept override { return info(); }

    String Mixed(String, int32_t, int16_t, uint8_t, bool, double, Date) { return {}; }
    int32_t Variants(const Variant&, Variant&) { return 0; }
    void SetValue(int32_t) {}
};

// What the routine was handed, copied out of the argument addresses.
struct Seen {
    void* self = nullptr;
    const void* entry = nullptr;
    void* result = nullptr;
    void* text = nullptr;
    int32_t long_value = 0;
    int16_t integer = 0;
    uint8_t byte = 0;
    int16_t boolean = 0;
    double real = 0;
    double date = 0;
    detail::BinaryVariant variant{};
    void* in_out = nullptr;
};
Seen g_seen;

int32_t record_mixed(void* self, const void* entry, const void* const* args, void* result) {
    g_seen = {self, entry, result};
    g_seen.text = *static_cast<void* const*>(args[0]);
    g_seen.long_value = *static_cast<const int32_t*>(args[1]);
    g_seen.integer = *static_cast<const int16_t*>(args[2]);
    g_seen.byte = *static_cast<const uint8_t*>(args[3]);
    g_seen.boolean = *static_cast<const int16_t*>(args[4]);
    g_seen.real = *static_cast<const double*>(args[5]);
    g_seen.date = *static_cast<const double*>(args[6]);
    return 0;
}

int32_t record_variants(void* self, const void* entry, const void* const* args, void* result) {
    g_seen = {self, entry, result};
    std::memcpy(&g_seen.variant, args[0], sizeof g_seen.variant);
    g_seen.in_out = *static_cast<void* const*>(args[1]);
    return 5;
}

int32_t record_let(void* self, const void* entry, const void* const* args, void* result) {
    g_seen = {self, entry, result};
    g_seen.long_value = *static_cast<const int32_t*>(args[0]);
    return 0;
}

class EntryTest : public ::testing::Test {
  protected:
    void TearDown() override { detail::entry_call.store(nullptr); }
    const std::vector<MemberInfo>& members = Shapes::info().members;
    int self_ = 0;
    void* self = &self_;
};

TEST_F(EntryTest, ArgumentsArriveInTheirBinaryForm) {
    detail::entry_call.store(&record_mixed);
    using Entry = int32_t(VORLEK_STDCALL*)(void*, void*, int32_t, int16_t, uint8_t, int16_t, double,
                                           double, void*);
    auto entry = reinterpret_cast<Entry>(const_cast<void*>(members[0].entry));
    char16_t text[] = u"abc";
    void* result_slot = nullptr;
    EXPECT_EQ(entry(self, text, -70000, -3, 200, -1, 2.5, 45000.25, &result_slot), 0);
    EXPECT_EQ(g_seen.self, self);
    EXPECT_EQ(g_seen.entry, members[0].entry);
    EXPECT_EQ(g_seen.result, &result_slot);
    EXPECT_EQ(g_seen.text, text);
    EXPECT_EQ(g_seen.long_value, -70000);
    EXPECT_EQ(g_seen.integer, -3);
    EXPECT_EQ(g_seen.byte, 200);
    EXPECT_EQ(g_seen.boolean, -1);
    EXPECT_EQ(g_seen.real, 2.5);
    EXPECT_EQ(g_seen.date, 45000.25);
}

TEST_F(EntryTest, VariantsByValueAndInOutByPointer) {
    detail::entry_call.store(&record_variants);
    using Entry = int32_t(VORLEK_STDCALL*)(void*, detail::BinaryVariant, void*, void*);
    auto entry = reinterpret_cast<Entry>(const_cast<void*>(members[1].entry));
    detail::BinaryVariant in{};
    for (size_t i = 0; i < sizeof in.bytes; ++i)
        in.bytes[i] = static_cast<unsigned char>(i + 1);
    detail::BinaryVariant caller_variable{};
    int32_t result = 0;
    EXPECT_EQ(entry(self, in, &caller_variable, &result), 5);
    EXPECT_EQ(std::memcmp(&g_seen.variant, &in, sizeof in), 0);
    EXPECT_EQ(g_seen.in_out, &caller_variable);
    EXPECT_EQ(g_seen.result, &result);
}

TEST_F(EntryTest, PutsHaveNoResultAndConstantsNoEntry) {
    detail::entry_call.store(&record_let);
    using Entry = int32_t(VORLEK_STDCALL*)(void*, int32_t);
    auto entry = reinterpret_cast<Entry>(const_cast<void*>(members[2].entry));
    EXPECT_EQ(entry(self, 42), 0);
    EXPECT_EQ(g_seen.long_value, 42);
    EXPECT_EQ(g_seen.result, nullptr);
    EXPECT_EQ(members[3].entry, nullptr);
    // Every entry is its own function: the address tells the member.
    EXPECT_NE(members[0].entry, members[1].entry);
    EXPECT_NE(members[1].entry, members[2].entry);
}

TEST_F(EntryTest, WithoutRoutineTheCallFails) {
    using Entry = int32_t(VORLEK_STDCALL*)(void*, int32_t);
    auto entry = reinterpret_cast<Entry>(const_cast<void*>(members[2].entry));
    EXPECT_EQ(static_cast<uint32_t>(entry(self, 1)), 0x8000FFFFu);
}

TEST(EntryTable, OneMemberPerFunction) {
    EXPECT_THROW(
        ClassBuilder<Shapes>(u"Twice").let<&Shapes::SetValue>(u"Value").let<&Shapes::SetValue>(
            u"Other"),
        std::logic_error);
}

}  // namespace
}  // namespace vorlek
