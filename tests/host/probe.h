// A test class that hands every value type to the host and raises on demand.
#pragma once

#include <new>
#include <sstream>
#include <stdexcept>

#include "automation/catalogue.h"
#include "automation/checked.h"
#include "automation/collection.h"
#include "host/host.h"
#include "strings/stringer.h"

namespace vorlek::test {

class Probe : public Object {
  public:
    static const ClassInfo& info() {
        static const ClassInfo info =
            ClassBuilder<Probe>(u"Probe")
                .method<&Probe::Echo>(u"Echo", {param(u"varValue")})
                .method<&Probe::TypeOf>(u"TypeOf", {param(u"varValue")})
                .method<&Probe::TakesLong>(u"TakesLong", {param(u"lngValue")})
                .method<&Probe::Swap>(u"Swap", {param(u"varValue")})
                .method<&Probe::Boom>(u"Boom", {param(u"lngKind")})
                .method<&Probe::Sum>(u"Sum", {param(u"lngA"), optional(u"lngB", 10)})
                .get<&Probe::When>(u"When")
                .get<&Probe::Bytes>(u"Bytes")
                .get<&Probe::Longs>(u"Longs")
                .get<&Probe::Mixed>(u"Mixed")
                .get<&Probe::Nothing>(u"Nothing")
                .get<&Probe::Nil>(u"Nil")
                .get<&Probe::Nought>(u"Nought")
                .get<&Probe::Int>(u"Int")
                .get<&Probe::Byte>(u"Byte")
                .get<&Probe::Flag>(u"Flag")
                .get<&Probe::Half>(u"Half")
                .get<&Probe::Live>(u"Live")
                .get<&Probe::Value>(u"Value")
                .let<&Probe::SetValue>(u"Value")
                .build();
        return info;
    }
    const ClassInfo& class_info() const noexcept override { return info(); }

    Variant Echo(const Variant& v) { return v; }
    String TypeOf(const Variant& v) { return String(type_name(v.type())); }
    int32_t TakesLong(int32_t v) { return v; }
    int32_t Swap(Variant& v) {
        v = u"changed";
        return 1;
    }
    int32_t Boom(int32_t kind) {
        if (kind == 0) throw std::runtime_error("not an automation error");
        if (kind == 1) throw std::bad_alloc();
        raise(kind);
    }
    // Overflow raises 6 as script arithmetic on a Long does.
    int32_t Sum(int32_t a, int32_t b) { return checked::add(a, b); }
    Variant When() { return Date{45000.75}; }  // 2023-03-15 18:00
    Variant Bytes() { return Variant::byte_array({1, 2, 255}); }
    Variant Longs() { return Variant::long_array({-1, 7}, 1); }
    Variant Mixed() {
        return Variant::variant_array({String(u"a"), Ref<Object>(make<Probe>()), Variant()});
    }
    Variant Nothing() { return Ref<Object>(); }
    Variant Nil() { return Null{}; }
    Variant Nought() { return Variant(); }
    int16_t Int() { return 7; }
    uint8_t Byte() { return 200; }
    bool Flag() { return true; }
    double Half() { return 0.5; }
    double Live() { return static_cast<double>(Object::live_count()); }
    String Value() const { return value_; }
    void SetValue(String v) { value_ = std::move(v); }

  private:
    String value_;
};

inline const Catalogue& probe_catalogue() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.add(Stringer::info());
        c.add(Probe::info());
        return c;
    }();
    return catalogue;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline Outcome run_script(const std::string& source, host::RunOptions options = {}) {
    host::ScriptFile script{"t.js", "/tmp/t.js", source};
    options.catalogue = &probe_catalogue();
    std::ostringstream out, err;
    int status = host::run(script, options, sim::make_network(u"default"), out, err);
    return {status, out.str(), err.str()};
}

}  // namespace vorlek::test
