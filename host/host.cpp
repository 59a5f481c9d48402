// The duktape side of the host.
//
// duktape reports errors with longjmp, so every native function here runs in
// three phases: (1) duktape calls that may throw (coercions that can run
// script code), with no C++ object alive on the stack; (2) the C++ work in a
// function of its own that catches everything and leaves its result in the
// host's scratch fields; (3) duktape calls that push the result or raise the
// error, again with no C++ object alive on the stack.
#include "host/host.h"

#include <duktape.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <unordered_map>

#include "automation/collection.h"
#include "automation/invoke.h"
#include "host/messages.h"
#include "host/values.h"
#include "library/library.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace vorlek::host {

namespace {

// Hidden keys (the leading 0xFF byte keeps them out of reach of scripts and
// makes proxies pass them to their target without running a trap).
constexpr const char* kObjectKey =
    "\xFF"
    "vobj";  // Object*, owning one reference
constexpr const char* kArrayKey =
    "\xFF"
    "varr";  // ArrayHolder*, owned
constexpr const char* kEnumKey =
    "\xFF"
    "venum";  // EnumState*, owned
constexpr const char* kSafeArrayKey =
    "\xFF"
    "vsa";  // VBArray -> the array value
constexpr const char* kTableKey =
    "\xFF"
    "vtbl";  // proxy handler -> member cache
constexpr const char* kArgsKey =
    "\xFF"
    "vargs";  // WScript.Arguments -> JS array
constexpr const char* kPinsKey =
    "\xFF"
    "vpins";  // stash -> everything pinned

// More arguments than any member takes fail with 450 before any conversion.
constexpr duk_idx_t kMaxArgs = 32;

struct ArrayHolder {
    Variant value;  // always an array
};

struct EnumState {
    Ref<CollectionEnumerator> walker;
    Variant current;
    bool at_end = true;
};

// A member the script reached by name, cached per class as the function's
// magic or the number stored under the name.
struct MemberRef {
    const ClassInfo* info;
    DispId id;
};

struct ClassEntry {
    void* handler = nullptr;
    bool callable = false;
};

struct Budget {
    size_t used = 0;
    size_t limit = 0;
};

// Per-allocation header so that realloc and free know the size.
constexpr size_t kHeader = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;

void* budget_alloc(void* udata, duk_size_t size) {
    auto* budget = static_cast<Budget*>(udata);
    if (size > budget->limit - budget->used) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) return nullptr;
    std::memcpy(block, &size, sizeof size);
    budget->used += size;
    return block + kHeader;
}

void budget_free(void* udata, void* ptr) {
    if (!ptr) return;
    auto* block = static_cast<unsigned char*>(ptr) - kHeader;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    static_cast<Budget*>(udata)->used -= size;
    std::free(block);
}

void* budget_realloc(void* udata, void* ptr, duk_size_t size) {
    if (!ptr) return budget_alloc(udata, size);
    if (size == 0) {
        budget_free(udata, ptr);
        return nullptr;
    }
    auto* budget = static_cast<Budget*>(udata);
    auto* block = static_cast<unsigned char*>(ptr) - kHeader;
    size_t old;
    std::memcpy(&old, block, sizeof old);
    if (size > old && size - old > budget->limit - budget->used) return nullptr;
    auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
    if (!grown) return nullptr;
    std::memcpy(grown, &size, sizeof size);
    budget->used = budget->used - old + size;
    return grown + kHeader;
}

void fatal(void*, const char* msg) {
    // Only reached through a bug in the host: every script runs protected.
    std::fprintf(stderr, "vorlek-run: fatal script engine error: %s\n", msg ? msg : "");
    std::abort();
}

// Runs `f`, reporting whether it finished; keeps C++ exceptions out of
// duktape's frames.
template <class F>
bool guarded(F&& f) noexcept {
    try {
        f();
        return true;
    } catch (...) {
        return false;
    }
}

class Host;
thread_local Host* t_current = nullptr;

class CurrentScope {
  public:
    explicit CurrentScope(Host& h) : previous_(t_current) { t_current = &h; }
    ~CurrentScope() { t_current = previous_; }
    CurrentScope(const CurrentScope&) = delete;
    CurrentScope& operator=(const CurrentScope&) = delete;

  private:
    Host* previous_;
};

class Host {
  public:
    Host(const ScriptFile& script, const RunOptions& options, std::ostream& out, std::ostream& err)
        : script_(script), options_(options), out_(out), err_(err) {
        budget_.limit = options.memory_limit;
        ctx_ = duk_create_heap(budget_alloc, budget_realloc, budget_free, &budget_, fatal);
    }
    ~Host() {
        // Runs the finalizers of every wrapper still alive, which releases
        // the objects they hold.
        if (!ctx_) return;
        CurrentScope scope(*this);
        duk_destroy_heap(ctx_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    int run();

    // Native entry points (duktape calls them with the host current).
    static duk_ret_t setup(duk_context* ctx, void* udata);
    static duk_ret_t eval_file(duk_context* ctx, void* udata);
    static duk_ret_t describe_error(duk_context* ctx, void* udata);
    static duk_ret_t on_throw(duk_context* ctx);
    void number_engine_error();
    template <class T, void* Host::*key>
    static duk_ret_t finalize(duk_context* ctx);
    static duk_ret_t trap_get(duk_context* ctx);
    static duk_ret_t trap_set(duk_context* ctx);
    static duk_ret_t trap_has(duk_context* ctx);
    static duk_ret_t trap_apply(duk_context* ctx);
    static duk_ret_t target_stub(duk_context* ctx);
    static duk_ret_t member_function(duk_context* ctx);
    static duk_ret_t default_value(duk_context* ctx);
    static duk_ret_t create_object(duk_context* ctx);
    static duk_ret_t echo(duk_context* ctx);
    static duk_ret_t quit(duk_context* ctx);
    static duk_ret_t sleep(duk_context* ctx);
    static duk_ret_t arguments_item(duk_context* ctx);
    static duk_ret_t arguments_count(duk_context* ctx);
    static duk_ret_t enumerator_new(duk_context* ctx);
    static duk_ret_t enumerator_at_end(duk_context* ctx);
    static duk_ret_t enumerator_move_next(duk_context* ctx);
    static duk_ret_t enumerator_move_first(duk_context* ctx);
    static duk_ret_t enumerator_item(duk_context* ctx);
    static duk_ret_t vbarray_new(duk_context* ctx);
    static duk_ret_t vbarray_to_array(duk_context* ctx);
    static duk_ret_t vbarray_bound(duk_context* ctx);
    static duk_ret_t vbarray_get_item(duk_context* ctx);
    static duk_ret_t vbarray_dimensions(duk_context* ctx);

  private:
    static Host& current();

    void* pin(duk_idx_t idx);
    void put_function(duk_idx_t obj, const char* name, duk_c_function fn, duk_idx_t nargs,
                      int magic = 0);

    // Phase helpers.
    duk_ret_t raise(int32_t number);
    duk_ret_t raise_failure();
    duk_ret_t rethrow_quit();
    void fail(int32_t number, StringView description = {}) noexcept;
    bool fail_from_current_exception() noexcept;

    Object* object_at(duk_idx_t idx);
    const Array* array_at(duk_idx_t idx);
    // Phase 1 for member arguments: coerces foreign objects to what cscript
    // passes for them; records each argument's kind in `kinds`.
    void prepare_args(duk_idx_t first, duk_idx_t count);
    bool read_arg(duk_idx_t idx, Variant& out);

    duk_ret_t call_member(MemberRef ref, uint8_t kinds, duk_idx_t obj_idx, duk_idx_t first,
                          duk_idx_t count);
    bool invoke_member(Object* object, MemberRef ref, uint8_t kinds, duk_idx_t first,
                       duk_idx_t count);

    void push_result();
    void push_value(const Variant& value);
    void push_object(Object* object);
    void push_text(StringView text);
    ClassEntry* class_entry(const ClassInfo& info);
    // The entry for a member name in the class's cache, pushing the cached
    // value (a function or a member index); false when the class has no
    // member of that name.
    bool lookup(duk_idx_t handler_idx, duk_idx_t key_idx);

    void report_uncaught();
    EnumState* enum_state();
    const Array* vbarray_this();

    duk_context* ctx_ = nullptr;
    Budget budget_;
    const ScriptFile& script_;
    const RunOptions& options_;
    std::ostream& out_;
    std::ostream& err_;

    std::vector<MemberRef> members_;
    std::unordered_map<const ClassInfo*, ClassEntry> classes_;
    // The hidden keys, pinned, so that lookups skip interning.
    void* key_object_ = nullptr;
    void* key_array_ = nullptr;
    void* key_enum_ = nullptr;
    void* key_table_ = nullptr;
    void* finalize_enum_fn_ = nullptr;
    void* finalize_object_fn_ = nullptr;
    void* finalize_array_fn_ = nullptr;
    void* default_value_fn_ = nullptr;
    void* array_proto_ = nullptr;
    void* date_ctor_ = nullptr;
    void* quit_marker_ = nullptr;
    void* pins_ = nullptr;
    duk_uarridx_t pin_count_ = 0;

    // Scratch shared by the phases; never held across script code.
    Variant result_;
    std::array<Variant, kMaxArgs> args_;
    int32_t failure_ = 0;
    String failure_text_;
    String text16_;
    std::string text8_;
    void* pending_ = nullptr;

    bool quitting_ = false;
    int quit_code_ = 0;
    // Where the last throw happened, for the uncaught-error line.
    int throw_line_ = 0;
    std::array<char, 256> throw_file_{};

    const ScriptFile* running_ = nullptr;
    // What the uncaught error said, gathered inside a protected call.
    int32_t report_number_ = 0;
    int report_line_ = 0;
    String report_message_;
};

Host& Host::current() {
    return *t_current;
}

void* Host::pin(duk_idx_t idx) {
    void* ptr = duk_get_heapptr(ctx_, idx);
    duk_push_heapptr(ctx_, pins_);
    duk_dup(ctx_, idx < 0 ? idx - 1 : idx);
    duk_put_prop_index(ctx_, -2, pin_count_++);
    duk_pop(ctx_);
    return ptr;
}

void Host::put_function(duk_idx_t obj, const char* name, duk_c_function fn, duk_idx_t nargs,
                        int magic) {
    duk_idx_t target = duk_normalize_index(ctx_, obj);
    duk_push_c_function(ctx_, fn, nargs);
    if (magic) duk_set_magic(ctx_, -1, magic);
    duk_put_prop_string(ctx_, target, name);
}

// ---- errors ---------------------------------------------------------------

void Host::fail(int32_t number, StringView description) noexcept {
    failure_ = number;
    if (!guarded([&] { failure_text_.assign(description); })) failure_text_.clear();
}

bool Host::fail_from_current_exception() noexcept {
    try {
        throw;
    } catch (const DispatchError& e) {
        fail(e.script_number(), e.description());
    } catch (const RuntimeError& e) {
        fail(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        fail(err::kOutOfMemory);
    } catch (...) {
        fail(err::kInvalidCall);
    }
    return false;
}

duk_ret_t Host::raise(int32_t number) {
    fail(number);
    return raise_failure();
}

duk_ret_t Host::raise_failure() {
    // Phase 3: the text goes through the scratch buffer, so no C++ object is
    // on the stack when duk_throw unwinds.
    bool ok = guarded([&] {
        text8_.clear();
        if (failure_text_.empty())
            text8_.assign(error_message(failure_));
        else
            encode_cesu8(failure_text_, text8_);
    });
    if (!ok) text8_.clear();
    duk_push_error_object(ctx_, DUK_ERR_ERROR, "%s", text8_.c_str());
    duk_push_int(ctx_, script_error_number(failure_));
    duk_put_prop_string(ctx_, -2, "number");
    duk_push_lstring(ctx_, text8_.data(), text8_.size());
    duk_put_prop_string(ctx_, -2, "description");
    return duk_throw(ctx_);
}

// WScript.Quit ends the script: every native call after it ends it again,
// so that a catch block in the script cannot carry on for long.
duk_ret_t Host::rethrow_quit() {
    duk_push_heapptr(ctx_, quit_marker_);
    return duk_throw(ctx_);
}

duk_ret_t Host::on_throw(duk_context* ctx) {
    Host& h = current();
    // Level -1 is this hook; the first frame with a line is where it threw.
    for (duk_int_t level = -2; level > -64; --level) {
        duk_inspect_callstack_entry(ctx, level);
        if (duk_is_undefined(ctx, -1)) {
            duk_pop(ctx);
            break;
        }
        duk_get_prop_string(ctx, -1, "lineNumber");
        int line = duk_get_int(ctx, -1);
        duk_pop(ctx);
        if (line > 0) {
            h.throw_line_ = line;
            duk_get_prop_string(ctx, -1, "function");
            duk_get_prop_string(ctx, -1, "fileName");
            duk_size_t len = 0;
            const char* file = duk_get_lstring(ctx, -1, &len);
            len = file ? std::min<duk_size_t>(len, h.throw_file_.size() - 1) : 0;
            if (len) std::memcpy(h.throw_file_.data(), file, len);
            h.throw_file_[len] = '\0';
            duk_pop_3(ctx);
            break;
        }
        duk_pop(ctx);
    }
    h.number_engine_error();
    duk_dup(ctx, 0);
    return 1;
}

// The engine's own errors carry no number; cscript's engine gives each one,
// so a catch block reads `e.number` and `e.description` as it does there.
// Errors raised through raise() and a script's own Error objects that set a
// number already have one and stay as they are.
void Host::number_engine_error() {
    if (!duk_is_error(ctx_, 0) || duk_has_prop_string(ctx_, 0, "number")) return;
    duk_get_prop_string(ctx_, 0, "name");
    duk_get_prop_string(ctx_, 0, "message");
    duk_size_t name_len = 0, len = 0;
    const char* name = duk_get_lstring(ctx_, -2, &name_len);
    const char* message = duk_get_lstring(ctx_, -1, &len);
    const int32_t number = engine_error_number(std::string_view(name ? name : "", name_len),
                                               std::string_view(message ? message : "", len));
    if (number == 0) {
        duk_pop_2(ctx_);
        return;
    }
    constexpr std::string_view kPrefix = "identifier ", kSuffix = " undefined";
    const std::string_view text(message ? message : "", len);
    if (number == jscript::kUndefinedIdentifier && text.starts_with(kPrefix) &&
        text.ends_with(kSuffix)) {
        // "identifier 'x' undefined" reads as cscript's "'x' is undefined".
        duk_push_lstring(ctx_, message + kPrefix.size(), len - kPrefix.size() - kSuffix.size());
        duk_push_string(ctx_, " is undefined");
        duk_concat(ctx_, 2);
        duk_put_prop_string(ctx_, 0, "message");
    } else if (number == err::kOutOfMemory || number == jscript::kOutOfStack) {
        // The engine's texts for these say nothing to a script's author.
        if (!guarded([&] { text8_.assign(error_message(number)); })) text8_.clear();
        duk_push_lstring(ctx_, text8_.data(), text8_.size());
        duk_put_prop_string(ctx_, 0, "message");
    }
    duk_pop_2(ctx_);
    duk_push_int(ctx_, script_error_number(number));
    duk_put_prop_string(ctx_, 0, "number");
    duk_get_prop_string(ctx_, 0, "message");
    duk_put_prop_string(ctx_, 0, "description");
}

// ---- finalizers -------------------------------------------------------------

// What a wrapper's finalizer lets go of.
void dispose(Object* object) {
    object->release_ref();
}
void dispose(ArrayHolder* holder) {
    std::unique_ptr<ArrayHolder> owned(holder);
    release_value(owned->value);
}
void dispose(EnumState* state) {
    std::unique_ptr<EnumState> owned(state);
}

// One finalizer for every kind of wrapper: the pointer under `key` is let go
// of once and cleared, so a second run finds nothing.
template <class T, void* Host::*key>
duk_ret_t Host::finalize(duk_context* ctx) {
    Host& h = current();
    duk_get_prop_heapptr(ctx, 0, h.*key);
    auto* held = static_cast<T*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (held) {
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_heapptr(ctx, 0, h.*key);
        dispose(held);
    }
    return 0;
}

// ---- values ----------------------------------------------------------------

Object* Host::object_at(duk_idx_t idx) {
    if (!duk_is_object(ctx_, idx)) return nullptr;
    duk_get_prop_heapptr(ctx_, idx, key_object_);
    auto* object = static_cast<Object*>(duk_get_pointer(ctx_, -1));
    duk_pop(ctx_);
    return object;
}

const Array* Host::array_at(duk_idx_t idx) {
    if (!duk_is_object(ctx_, idx)) return nullptr;
    duk_get_prop_heapptr(ctx_, idx, key_array_);
    auto* holder = static_cast<ArrayHolder*>(duk_get_pointer(ctx_, -1));
    duk_pop(ctx_);
    return holder ? holder->value.if_array() : nullptr;
}

void Host::prepare_args(duk_idx_t first, duk_idx_t count) {
    for (duk_idx_t i = 0; i < count; ++i) {
        duk_idx_t idx = first + i;
        int type = duk_get_type(ctx_, idx);
        if (type == DUK_TYPE_OBJECT) {
            duk_get_prop_heapptr(ctx_, idx, key_object_);
            bool ours = duk_is_pointer(ctx_, -1);
            duk_pop(ctx_);
            if (!ours) {
                duk_get_prop_heapptr(ctx_, idx, key_array_);
                ours = duk_is_pointer(ctx_, -1);
                duk_pop(ctx_);
            }
            if (ours) continue;
            // Any other script object, a Date included, goes in as its
            // default value: cscript hands a JScript Date over as an object,
            // not as a date, so a script that relies on it must not pass here.
            duk_to_string(ctx_, idx);
        } else if (type == DUK_TYPE_BUFFER || type == DUK_TYPE_POINTER ||
                   type == DUK_TYPE_LIGHTFUNC) {
            duk_to_string(ctx_, idx);
        }
    }
}

bool Host::read_arg(duk_idx_t idx, Variant& out) {
    switch (duk_get_type(ctx_, idx)) {
        case DUK_TYPE_NULL:
            out = Null{};
            return true;
        case DUK_TYPE_BOOLEAN:
            out = static_cast<bool>(duk_get_boolean(ctx_, idx));
            return true;
        case DUK_TYPE_NUMBER: {
            double n = duk_get_number(ctx_, idx);
            out = number_variant(n);
            return true;
        }
        case DUK_TYPE_STRING: {
            duk_size_t len = 0;
            const char* s = duk_get_lstring(ctx_, idx, &len);
            String text;
            decode_cesu8(std::string_view(s, len), text);
            out = std::move(text);
            return true;
        }
        case DUK_TYPE_OBJECT: {
            if (Object* object = object_at(idx)) {
                out = Ref<Object>(object);
                return true;
            }
            duk_get_prop_heapptr(ctx_, idx, key_array_);
            auto* holder = static_cast<ArrayHolder*>(duk_get_pointer(ctx_, -1));
            duk_pop(ctx_);
            if (holder)
                out = holder->value;
            else
                out = Ref<Object>();  // a wrapper whose object is gone
            return true;
        }
        default:
            out = Variant();
            return true;
    }
}

bool Host::invoke_member(Object* object, MemberRef ref, uint8_t kinds, duk_idx_t first,
                         duk_idx_t count) {
    auto used = static_cast<size_t>(count);
    bool ok = true;
    try {
        Ref<Object> keep(object);
        for (size_t i = 0; i < used; ++i)
            read_arg(first + static_cast<duk_idx_t>(i), args_[i]);
        // In-out arguments: JScript passes copies, so what a member writes
        // back stays in this array and the caller's variable keeps its value.
        result_ = invoke(*object, ref.id, kinds, std::span<Variant>(args_.data(), used));
    } catch (...) {
        ok = fail_from_current_exception();
    }
    for (size_t i = 0; i < used; ++i)
        args_[i] = Variant();
    return ok;
}

duk_ret_t Host::call_member(MemberRef ref, uint8_t kinds, duk_idx_t obj_idx, duk_idx_t first,
                            duk_idx_t count) {
    if (quitting_) return rethrow_quit();
    if (count > kMaxArgs) return raise(kWrongArgumentCount);
    Object* object = object_at(obj_idx);
    if (!object) return raise(kNotSupported);
    // A member function taken from one class and applied to another object.
    if (&object->class_info() != ref.info) return raise(kNotSupported);
    prepare_args(first, count);
    if (!invoke_member(object, ref, kinds, first, count)) return raise_failure();
    push_result();
    return 1;
}

void Host::push_text(StringView text) {
    bool ok = guarded([&] { encode_cesu8(text, text8_); });
    if (!ok) {
        raise(err::kOutOfMemory);
        return;
    }
    duk_push_lstring(ctx_, text8_.data(), text8_.size());
}

void Host::push_result() {
    push_value(result_);
    result_ = Variant();
}

void Host::push_value(const Variant& value) {
    switch (value.type()) {
        case VarType::Null:
            duk_push_null(ctx_);
            return;
        case VarType::Integer:
        case VarType::Long:
        case VarType::Byte:
        case VarType::Double:
            duk_push_number(ctx_, value.to_double());
            return;
        case VarType::Boolean:
            duk_push_boolean(ctx_, value.to_bool());
            return;
        case VarType::String:
            push_text(*value.if_string());
            return;
        case VarType::Date: {
            LocalTime t = local_time_from_serial(value.to_date().serial);
            duk_push_heapptr(ctx_, date_ctor_);
            for (double part : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond})
                duk_push_number(ctx_, part);
            duk_new(ctx_, 7);
            return;
        }
        case VarType::Object:
            push_object(value.object().get());
            return;
        default:
            break;
    }
    if (value.is_array()) {
        ArrayHolder* holder = nullptr;
        if (!guarded(
                [&] { holder = std::make_unique<ArrayHolder>(ArrayHolder{value}).release(); })) {
            raise(err::kOutOfMemory);
            return;
        }
        duk_push_bare_object(ctx_);
        duk_push_heapptr(ctx_, array_proto_);
        duk_set_prototype(ctx_, -2);
        duk_push_heapptr(ctx_, finalize_array_fn_);
        duk_set_finalizer(ctx_, -2);
        duk_push_pointer(ctx_, holder);
        duk_put_prop_heapptr(ctx_, -2, key_array_);
        return;
    }
    duk_push_undefined(ctx_);  // Empty, and the missing marker
}

ClassEntry* Host::class_entry(const ClassInfo& info) {
    auto it = classes_.find(&info);
    if (it != classes_.end()) return &it->second;
    ClassEntry entry;
    entry.callable = info.first(kDispIdValue) != nullptr;
    duk_push_bare_object(ctx_);
    duk_push_bare_object(ctx_);
    duk_put_prop_heapptr(ctx_, -2, key_table_);
    put_function(-1, "get", trap_get, 3);
    put_function(-1, "set", trap_set, 4);
    put_function(-1, "has", trap_has, 2);
    if (entry.callable) put_function(-1, "apply", trap_apply, 3);
    entry.handler = pin(-1);
    duk_pop(ctx_);
    ClassEntry* stored = nullptr;
    if (!guarded([&] { stored = &classes_.emplace(&info, entry).first->second; })) return nullptr;
    return stored;
}

void Host::push_object(Object* object) {
    if (!object) {
        duk_push_null(ctx_);
        return;
    }
    ClassEntry* entry = class_entry(object->class_info());
    if (!entry) {
        raise(err::kOutOfMemory);
        return;
    }
    // Classes with a default member are callable: c(1) is c.Item(1).
    if (entry->callable)
        duk_push_c_function(ctx_, target_stub, 0);
    else
        duk_push_bare_object(ctx_);
    duk_push_heapptr(ctx_, finalize_object_fn_);
    duk_set_finalizer(ctx_, -2);
    duk_push_pointer(ctx_, object);
    object->add_ref();
    duk_put_prop_heapptr(ctx_, -2, key_object_);
    duk_push_heapptr(ctx_, entry->handler);
    duk_push_proxy(ctx_, 0);
}

duk_ret_t Host::target_stub(duk_context*) {
    return 0;
}

bool Host::lookup(duk_idx_t handler_idx, duk_idx_t key_idx) {
    // The hot path: the spelling is cached. What is left below the entry on
    // the stack does not matter to the callers.
    duk_get_prop_heapptr(ctx_, handler_idx, key_table_);
    void* key = duk_get_heapptr(ctx_, key_idx);
    if (key && duk_get_prop_heapptr(ctx_, -1, key)) return true;
    duk_pop(ctx_);                  // [table]
    Object* object = object_at(0);  // every trap has the target first
    if (!object || duk_is_symbol(ctx_, key_idx)) {
        duk_pop(ctx_);
        return false;
    }
    const ClassInfo& info = object->class_info();
    // First use of this spelling: resolve it by name, without regard to case.
    std::optional<DispId> id;
    bool callable = false;
    duk_int_t index = 0;
    duk_size_t len = 0;
    const char* name = duk_get_lstring(ctx_, key_idx, &len);
    bool ok = guarded([&] {
        decode_cesu8(std::string_view(name ? name : "", len), text16_);
        id = info.dispid_of(text16_);
        if (!id) return;
        const MemberInfo* get = info.find(*id, static_cast<uint8_t>(MemberKind::Get));
        callable = info.find(*id, static_cast<uint8_t>(MemberKind::Method)) ||
                   (get && !get->params.empty());
        // Other spellings of the same member share its index, so the list
        // stays as short as the members the script uses.
        auto same = std::find_if(members_.begin(), members_.end(), [&](const MemberRef& m) {
            return m.info == &info && m.id == *id;
        });
        index = static_cast<duk_int_t>(same - members_.begin());
        if (same == members_.end()) members_.push_back({&info, *id});
    });
    if (!ok || !id) {
        duk_pop(ctx_);
        return false;
    }
    if (callable) {
        duk_push_c_function(ctx_, member_function, DUK_VARARGS);
        duk_set_magic(ctx_, -1, index);
    } else {
        duk_push_int(ctx_, index);
    }
    duk_dup(ctx_, key_idx);
    duk_dup(ctx_, -2);
    duk_put_prop(ctx_, -4);
    return true;
}

// handler.get(target, key, receiver)
duk_ret_t Host::trap_get(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    duk_push_this(ctx);  // 3: handler
    if (!h.lookup(3, 1)) {
        if (duk_is_symbol(ctx, 1)) return 0;
        // Conversions to a primitive reach the default member, as cscript's
        // engine does for an object in a string or number context.
        duk_size_t len = 0;
        const char* name = duk_get_lstring(ctx, 1, &len);
        std::string_view key(name ? name : "", len);
        if (key == "toString" || key == "valueOf") {
            duk_push_heapptr(ctx, h.default_value_fn_);
            return 1;
        }
        if (key == "toJSON") return 0;
        return h.raise(kNotSupported);
    }
    if (duk_is_function(ctx, -1)) return 1;
    MemberRef ref = h.members_[static_cast<size_t>(duk_get_int(ctx, -1))];
    return h.call_member(ref, static_cast<uint8_t>(MemberKind::Get), 0, 0, 0);
}

// handler.set(target, key, value, receiver)
duk_ret_t Host::trap_set(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    duk_push_this(ctx);  // 4: handler
    if (!h.lookup(4, 1)) return h.raise(kNotSupported);
    int index = duk_is_function(ctx, -1) ? duk_get_magic(ctx, -1) : duk_get_int(ctx, -1);
    duk_set_top(ctx, 4);
    MemberRef ref = h.members_[static_cast<size_t>(index)];
    h.call_member(ref, MemberKind::Let | MemberKind::Set, 0, 2, 1);
    duk_push_true(ctx);
    return 1;
}

// handler.has(target, key)
duk_ret_t Host::trap_has(duk_context* ctx) {
    Host& h = current();
    duk_push_this(ctx);
    bool found = h.lookup(2, 1);
    duk_push_boolean(ctx, found);
    return 1;
}

// handler.apply(target, this, args): the default member.
duk_ret_t Host::trap_apply(duk_context* ctx) {
    Host& h = current();
    Object* object = h.object_at(0);
    if (!object) return h.raise(kNotSupported);
    auto count = static_cast<duk_idx_t>(duk_get_length(ctx, 2));
    if (count > kMaxArgs) return h.raise(kWrongArgumentCount);
    duk_require_stack(ctx, count + 8);
    duk_idx_t first = duk_get_top(ctx);
    for (duk_idx_t i = 0; i < count; ++i)
        duk_get_prop_index(ctx, 2, static_cast<duk_uarridx_t>(i));
    return h.call_member({&object->class_info(), kDispIdValue},
                         MemberKind::Method | MemberKind::Get, 0, first, count);
}

duk_ret_t Host::member_function(duk_context* ctx) {
    Host& h = current();
    duk_idx_t count = duk_get_top(ctx);
    MemberRef ref = h.members_[static_cast<size_t>(duk_get_current_magic(ctx))];
    duk_push_this(ctx);
    return h.call_member(ref, MemberKind::Method | MemberKind::Get, count, 0, count);
}

duk_ret_t Host::default_value(duk_context* ctx) {
    Host& h = current();
    duk_push_this(ctx);
    Object* object = h.object_at(-1);
    if (!object) return h.raise(kNotSupported);
    return h.call_member({&object->class_info(), kDispIdValue},
                         MemberKind::Get | MemberKind::Method, 0, 0, 0);
}

// ---- creation and WScript ---------------------------------------------------

duk_ret_t Host::create_object(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    duk_size_t len = 0;
    const char* progid = duk_to_lstring(ctx, 0, &len);
    bool ok = guarded([&] {
        decode_cesu8(std::string_view(progid, len), h.text16_);
        const Catalogue& catalogue = h.options_.catalogue ? *h.options_.catalogue : library();
        h.result_ = catalogue.create(h.text16_);
    });
    if (!ok || !h.result_.object()) {
        h.result_ = Variant();
        return h.raise(kCannotCreateObject);
    }
    h.push_result();
    return 1;
}

duk_ret_t Host::echo(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    duk_idx_t count = duk_get_top(ctx);
    for (duk_idx_t i = 0; i < count; ++i) {
        if (duk_is_undefined(ctx, i))
            duk_push_string(ctx, "");
        else
            duk_dup(ctx, i);
        duk_to_string(ctx, -1);
    }
    bool ok = guarded([&] {
        std::string line;
        for (duk_idx_t i = 0; i < count; ++i) {
            duk_size_t len = 0;
            const char* s = duk_get_lstring(ctx, count + i, &len);
            decode_cesu8(std::string_view(s, len), h.text16_);
            if (i) line.push_back(' ');
            line += to_utf8(h.text16_);
        }
        line.push_back('\n');
        h.out_ << line;
    });
    if (!ok) return h.raise(err::kOutOfMemory);
    return 0;
}

duk_ret_t Host::quit(duk_context* ctx) {
    Host& h = current();
    if (!h.quitting_) {
        h.quitting_ = true;
        h.quit_code_ = duk_is_undefined(ctx, 0) ? 0 : static_cast<int>(duk_to_int32(ctx, 0));
    }
    return h.rethrow_quit();
}

duk_ret_t Host::sleep(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    double ms = duk_to_number(ctx, 0);
    // Time passes on the simulated network (its clocks, programs, restarts)
    // instead of the host waiting.
    if (ms > 0) {
        const auto whole = static_cast<uint32_t>(std::min(ms, 4294967294.0));
        platform::current().time().sleep(whole);
        if (h.options_.sleep) h.options_.sleep(whole);
    }
    return 0;
}

// WScript.Arguments(i), .Item(i): the function's own hidden array holds them.
duk_ret_t Host::arguments_item(duk_context* ctx) {
    Host& h = current();
    double index = duk_to_number(ctx, 0);
    duk_push_current_function(ctx);
    if (duk_get_current_magic(ctx) == 1) {  // .Item: `this` is the Arguments function
        duk_pop(ctx);
        duk_push_this(ctx);
    }
    duk_get_prop_string(ctx, -1, kArgsKey);
    auto size = static_cast<double>(duk_get_length(ctx, -1));
    if (!(index >= 0 && index < size)) return h.raise(err::kSubscript);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(index));
    return 1;
}

duk_ret_t Host::arguments_count(duk_context* ctx) {
    duk_push_this(ctx);
    duk_get_prop_string(ctx, -1, kArgsKey);
    duk_push_uint(ctx, static_cast<duk_uint_t>(duk_get_length(ctx, -1)));
    return 1;
}

// ---- Enumerator ------------------------------------------------------------

EnumState* Host::enum_state() {
    duk_push_this(ctx_);
    duk_get_prop_heapptr(ctx_, -1, key_enum_);
    auto* state = static_cast<EnumState*>(duk_get_pointer(ctx_, -1));
    duk_pop_2(ctx_);
    return state;
}

duk_ret_t Host::enumerator_new(duk_context* ctx) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    if (!duk_is_constructor_call(ctx)) return h.raise(jscript::kObjectExpected);
    Object* object = nullptr;
    if (!duk_is_undefined(ctx, 0)) {
        object = h.object_at(0);
        if (!object) return h.raise(kNotSupported);
    }
    bool ok = [&]() noexcept {
        try {
            auto state = std::make_unique<EnumState>();
            if (object) {
                Ref<Object> keep(object);
                Variant walker =
                    invoke(*object, kDispIdNewEnum, MemberKind::Method | MemberKind::Get, {});
                state->walker = ref_cast<CollectionEnumerator>(walker.object());
                if (!state->walker) throw DispatchError(DispatchFailure::MemberNotFound);
                state->at_end = !state->walker->next(state->current);
            }
            h.pending_ = state.release();
            return true;
        } catch (...) {
            return h.fail_from_current_exception();
        }
    }();
    if (!ok) return h.raise_failure();
    duk_push_this(ctx);
    duk_push_heapptr(ctx, h.finalize_enum_fn_);
    duk_set_finalizer(ctx, -2);
    duk_push_pointer(ctx, h.pending_);
    duk_put_prop_heapptr(ctx, -2, h.key_enum_);
    h.pending_ = nullptr;
    return 0;
}

duk_ret_t Host::enumerator_at_end(duk_context* ctx) {
    Host& h = current();
    EnumState* state = h.enum_state();
    if (!state) return h.raise(jscript::kEnumeratorExpected);
    duk_push_boolean(ctx, state->at_end);
    return 1;
}

duk_ret_t Host::enumerator_move_next(duk_context*) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    EnumState* state = h.enum_state();
    if (!state) return h.raise(jscript::kEnumeratorExpected);
    if (!state->at_end && !guarded([&] {
            state->current = Variant();
            state->at_end = !state->walker->next(state->current);
        }))
        return h.raise(err::kOutOfMemory);
    return 0;
}

duk_ret_t Host::enumerator_move_first(duk_context*) {
    Host& h = current();
    EnumState* state = h.enum_state();
    if (!state) return h.raise(jscript::kEnumeratorExpected);
    if (state->walker && !guarded([&] {
            state->walker->reset();
            state->current = Variant();
            state->at_end = !state->walker->next(state->current);
        }))
        return h.raise(err::kOutOfMemory);
    return 0;
}

duk_ret_t Host::enumerator_item(duk_context*) {
    Host& h = current();
    if (h.quitting_) return h.rethrow_quit();
    EnumState* state = h.enum_state();
    if (!state) return h.raise(jscript::kEnumeratorExpected);
    if (state->at_end) return 0;
    // The state stays alive: `this` holds it for the whole call.
    h.push_value(state->current);
    return 1;
}

// ---- VBArray -----------------------------------------------------------------

const Array* Host::vbarray_this() {
    duk_push_this(ctx_);
    duk_get_prop_string(ctx_, -1, kSafeArrayKey);
    const Array* array = array_at(-1);
    duk_pop_2(ctx_);
    return array;
}

duk_ret_t Host::vbarray_new(duk_context* ctx) {
    Host& h = current();
    if (!duk_is_constructor_call(ctx)) return h.raise(jscript::kObjectExpected);
    if (!h.array_at(0)) return h.raise(jscript::kVBArrayExpected);
    duk_push_this(ctx);
    duk_dup(ctx, 0);
    duk_put_prop_string(ctx, -2, kSafeArrayKey);
    return 0;
}

duk_ret_t Host::vbarray_to_array(duk_context* ctx) {
    Host& h = current();
    const Array* array = h.vbarray_this();
    if (!array) return h.raise(jscript::kVBArrayExpected);
    duk_push_this(ctx);  // keeps the array alive while the elements are pushed
    duk_idx_t out = duk_push_array(ctx);
    for (size_t i = 0; i < array->size(); ++i) {
        if (!guarded([&] { h.result_ = array->at(array->lower_bound + static_cast<int32_t>(i)); }))
            return h.raise(err::kOutOfMemory);
        h.push_result();
        duk_put_prop_index(ctx, out, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

// lbound (magic 0) and ubound (magic 1); only dimension 1 exists.
duk_ret_t Host::vbarray_bound(duk_context* ctx) {
    Host& h = current();
    const Array* array = h.vbarray_this();
    if (!array) return h.raise(jscript::kVBArrayExpected);
    if (!duk_is_undefined(ctx, 0) && duk_to_number(ctx, 0) != 1) return h.raise(err::kSubscript);
    duk_push_int(ctx, duk_get_current_magic(ctx) ? array->upper_bound() : array->lower_bound);
    return 1;
}

duk_ret_t Host::vbarray_get_item(duk_context* ctx) {
    Host& h = current();
    const Array* array = h.vbarray_this();
    if (!array) return h.raise(jscript::kVBArrayExpected);
    double index = duk_to_number(ctx, 0);
    if (!(index >= array->lower_bound && index <= array->upper_bound()))
        return h.raise(err::kSubscript);
    if (!guarded([&] { h.result_ = array->at(static_cast<int32_t>(index)); }))
        return h.raise(err::kOutOfMemory);
    duk_push_this(ctx);
    h.push_result();
    return 1;
}

duk_ret_t Host::vbarray_dimensions(duk_context* ctx) {
    Host& h = current();
    if (!h.vbarray_this()) return h.raise(jscript::kVBArrayExpected);
    duk_push_int(ctx, 1);
    return 1;
}

// ---- setting up and running --------------------------------------------------

duk_ret_t Host::setup(duk_context* ctx, void* udata) {
    auto& h = *static_cast<Host*>(udata);
    duk_push_global_stash(ctx);
    duk_push_array(ctx);
    h.pins_ = duk_get_heapptr(ctx, -1);
    duk_put_prop_string(ctx, -2, kPinsKey);
    duk_pop(ctx);

    for (auto [text, slot] :
         {std::pair{kObjectKey, &h.key_object_}, std::pair{kArrayKey, &h.key_array_},
          std::pair{kEnumKey, &h.key_enum_}, std::pair{kTableKey, &h.key_table_}}) {
        duk_push_string(ctx, text);
        *slot = h.pin(-1);
        duk_pop(ctx);
    }
    duk_push_c_function(ctx, (finalize<EnumState, &Host::key_enum_>), 1);
    h.finalize_enum_fn_ = h.pin(-1);
    duk_pop(ctx);
    duk_push_c_function(ctx, (finalize<Object, &Host::key_object_>), 1);
    h.finalize_object_fn_ = h.pin(-1);
    duk_push_c_function(ctx, (finalize<ArrayHolder, &Host::key_array_>), 1);
    h.finalize_array_fn_ = h.pin(-1);
    duk_push_c_function(ctx, default_value, 0);
    h.default_value_fn_ = h.pin(-1);
    duk_push_bare_object(ctx);  // the safe array values' prototype
    h.array_proto_ = h.pin(-1);
    duk_push_object(ctx);
    h.quit_marker_ = h.pin(-1);
    duk_get_global_string(ctx, "Date");
    h.date_ctor_ = h.pin(-1);
    duk_pop_n(ctx, 6);

    // The Duktape object would let a script drop finalizers and reach engine
    // internals, and the raw byte codecs could build the hidden keys that
    // hold object pointers; cscript has none of them. The throw hook stays.
    duk_get_global_string(ctx, "Duktape");
    duk_push_c_function(ctx, on_throw, 1);
    duk_put_prop_string(ctx, -2, "errThrow");
    duk_pop(ctx);
    duk_push_global_object(ctx);
    for (const char* name : {"Duktape", "Buffer", "CBOR"})
        duk_del_prop_string(ctx, -1, name);

    duk_push_c_function(ctx, create_object, 1);
    duk_put_prop_string(ctx, -2, "ActiveXObject");
    duk_push_c_function(ctx, create_object, 1);
    duk_put_prop_string(ctx, -2, "GetObject");

    // Enumerator and VBArray with their methods on the prototype.
    duk_push_c_function(ctx, enumerator_new, 1);
    duk_push_object(ctx);
    h.put_function(-1, "atEnd", enumerator_at_end, 0);
    h.put_function(-1, "moveNext", enumerator_move_next, 0);
    h.put_function(-1, "moveFirst", enumerator_move_first, 0);
    h.put_function(-1, "item", enumerator_item, 0);
    duk_put_prop_string(ctx, -2, "prototype");
    duk_put_prop_string(ctx, -2, "Enumerator");

    duk_push_c_function(ctx, vbarray_new, 1);
    duk_push_object(ctx);
    h.put_function(-1, "toArray", vbarray_to_array, 0);
    h.put_function(-1, "lbound", vbarray_bound, 1, 0);
    h.put_function(-1, "ubound", vbarray_bound, 1, 1);
    h.put_function(-1, "getItem", vbarray_get_item, 1);
    h.put_function(-1, "dimensions", vbarray_dimensions, 0);
    duk_put_prop_string(ctx, -2, "prototype");
    duk_put_prop_string(ctx, -2, "VBArray");

    // WScript.
    duk_push_object(ctx);
    h.put_function(-1, "Echo", echo, DUK_VARARGS);
    h.put_function(-1, "Quit", quit, 1);
    h.put_function(-1, "Sleep", sleep, 1);
    h.put_function(-1, "CreateObject", create_object, 1);
    h.put_function(-1, "GetObject", create_object, 1);
    duk_push_string(ctx, h.script_.name.c_str());
    duk_put_prop_string(ctx, -2, "ScriptName");
    duk_push_string(ctx, h.script_.path.c_str());
    duk_put_prop_string(ctx, -2, "ScriptFullName");
    duk_push_string(ctx, "Windows Script Host");
    duk_put_prop_string(ctx, -2, "Name");
    duk_push_string(ctx, "5.8");
    duk_put_prop_string(ctx, -2, "Version");

    duk_push_c_function(ctx, arguments_item, 1);  // WScript.Arguments(i)
    duk_idx_t args = duk_get_top_index(ctx);
    duk_push_array(ctx);
    for (size_t i = 0; i < h.options_.arguments.size(); ++i) {
        std::string_view arg = h.options_.arguments[i];
        bool ok = guarded([&] {
            h.text8_.clear();
            encode_cesu8(from_utf8(arg), h.text8_);
        });
        if (!ok) return h.raise(err::kOutOfMemory);
        duk_push_lstring(ctx, h.text8_.data(), h.text8_.size());
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    duk_put_prop_string(ctx, args, kArgsKey);
    duk_push_string(ctx, "length");
    duk_push_uint(ctx, static_cast<duk_uint_t>(h.options_.arguments.size()));
    duk_def_prop(ctx, args, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
    h.put_function(args, "Item", arguments_item, 1, 1);
    h.put_function(args, "Count", arguments_count, 0);
    duk_push_string(ctx, "Unnamed");
    duk_dup(ctx, args);
    duk_def_prop(ctx, args, DUK_DEFPROP_HAVE_VALUE);
    duk_put_prop_string(ctx, -2, "Arguments");

    duk_put_prop_string(ctx, -2, "WScript");
    duk_pop(ctx);
    return 0;
}

duk_ret_t Host::eval_file(duk_context* ctx, void* udata) {
    auto& h = *static_cast<Host*>(udata);
    const ScriptFile& file = *h.running_;
    bool ok = guarded([&] {
        h.text8_.clear();
        encode_cesu8(decode_source(file.source), h.text8_);
    });
    if (!ok) return h.raise(err::kOutOfMemory);
    duk_push_lstring(ctx, h.text8_.data(), h.text8_.size());
    duk_push_string(ctx, file.name.c_str());
    duk_compile(ctx, 0);
    duk_call(ctx, 0);
    return 0;
}

duk_ret_t Host::describe_error(duk_context* ctx, void* udata) {
    auto& h = *static_cast<Host*>(udata);
    h.report_number_ = jscript::kUncaughtException;
    h.report_line_ = h.throw_line_;
    h.report_message_.clear();
    if (!duk_is_error(ctx, 0)) return 0;  // a thrown value that is not an Error
    duk_get_prop_string(ctx, 0, "number");
    bool has_number = duk_is_number(ctx, -1) && duk_get_int(ctx, -1) != 0;
    if (has_number) h.report_number_ = duk_get_int(ctx, -1);
    duk_get_prop_string(ctx, 0, "name");
    const char* name = duk_is_string(ctx, -1) ? duk_get_string(ctx, -1) : "";
    duk_get_prop_string(ctx, 0, "message");
    duk_size_t len = 0;
    const char* message = duk_is_string(ctx, -1) ? duk_get_lstring(ctx, -1, &len) : nullptr;
    if (message &&
        !guarded([&] { decode_cesu8(std::string_view(message, len), h.report_message_); }))
        h.report_message_.clear();
    if (std::strcmp(name, "SyntaxError") == 0) {
        if (!has_number) h.report_number_ = jscript::kSyntaxError;
        // Compile errors carry the source position themselves.
        duk_get_prop_string(ctx, 0, "lineNumber");
        if (duk_is_number(ctx, -1)) h.report_line_ = duk_get_int(ctx, -1);
        duk_get_prop_string(ctx, 0, "fileName");
        const char* file = duk_is_string(ctx, -1) ? duk_get_lstring(ctx, -1, &len) : nullptr;
        if (file) {
            len = std::min<duk_size_t>(len, h.throw_file_.size() - 1);
            std::memcpy(h.throw_file_.data(), file, len);
            h.throw_file_[len] = '\0';
        }
        // The engine appends the position, which the report gives anyway.
        auto at = h.report_message_.find(u" (line ");
        if (at != String::npos) h.report_message_.resize(at);
    } else if (!has_number && std::strcmp(name, "ReferenceError") == 0) {
        h.report_number_ = jscript::kUndefinedIdentifier;
        // "identifier 'x' undefined" reads as cscript's "'x' is undefined".
        constexpr StringView kPrefix = u"identifier ", kSuffix = u" undefined";
        StringView text = h.report_message_;
        if (text.starts_with(kPrefix) && text.ends_with(kSuffix))
            guarded([&] {
                h.report_message_ =
                    String(text.substr(kPrefix.size(),
                                       text.size() - kPrefix.size() - kSuffix.size())) +
                    u" is undefined";
            });
    } else if (!has_number && std::strcmp(name, "TypeError") == 0) {
        h.report_number_ = jscript::kObjectExpected;
    }
    return 0;
}

void Host::report_uncaught() {
    // [ ... error ]: read it under protection, a script's error object may
    // have getters that throw.
    int line = throw_line_;
    auto file_at_throw = throw_file_;
    if (duk_safe_call(ctx_, describe_error, this, 1, 1) != DUK_EXEC_SUCCESS) {
        report_number_ = jscript::kUncaughtException;
        report_line_ = line;
        throw_file_ = file_at_throw;  // the getter's own throw moved them
        report_message_.clear();
    }
    std::string file = throw_file_[0] ? throw_file_.data() : running_->name;
    std::string message = report_message_.empty()
                              ? std::string(error_message(report_number_ & 0xFFFF))
                              : to_utf8(report_message_);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X",
                  static_cast<unsigned>(script_error_number(report_number_)));
    out_.flush();
    err_ << file << "(" << report_line_ << "): " << message << " (" << code << ")\n";
    err_.flush();
}

int Host::run() {
    if (!ctx_) {
        err_ << "vorlek-run: cannot start the script engine\n";
        return 1;
    }
    CurrentScope scope(*this);
    if (duk_safe_call(ctx_, setup, this, 0, 1) != DUK_EXEC_SUCCESS) {
        err_ << "vorlek-run: cannot set up the script globals\n";
        return 1;
    }
    duk_pop(ctx_);
    std::vector<const ScriptFile*> files;
    for (const auto& include : options_.includes)
        files.push_back(&include);
    files.push_back(&script_);
    int status = 0;
    for (const ScriptFile* file : files) {
        running_ = file;
        throw_line_ = 0;
        throw_file_[0] = '\0';
        int rc = duk_safe_call(ctx_, eval_file, this, 0, 1);
        if (quitting_) {
            status = quit_code_;
        } else if (rc != DUK_EXEC_SUCCESS) {
            report_uncaught();
            status = 1;
        }
        duk_pop(ctx_);
        if (quitting_ || rc != DUK_EXEC_SUCCESS) break;
    }
    out_.flush();
    return status;
}

}  // namespace

int run(const ScriptFile& script, const RunOptions& options, std::shared_ptr<sim::Network> network,
        std::ostream& out, std::ostream& err) noexcept {
    std::shared_ptr<platform::Platform> platform;
    try {
        platform = std::make_shared<sim::SimPlatform>(std::move(network));
    } catch (...) {
        err << "vorlek-run: internal error\n";
        return 1;
    }
    return run(script, options, std::move(platform), out, err);
}

int run(const ScriptFile& script, const RunOptions& options,
        std::shared_ptr<platform::Platform> platform, std::ostream& out,
        std::ostream& err) noexcept {
    try {
        platform::ScopedPlatform scoped(std::move(platform));
        int status;
        {
            Host host(script, options, out, err);
            status = host.run();
        }  // the heap, and with it every wrapper, goes before the platform
        return status;
    } catch (...) {
        err << "vorlek-run: internal error\n";
        return 1;
    }
}

bool load(const std::string& path, ScriptFile& script) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    script.source = text.str();
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    script.path = ec ? path : full.lexically_normal().string();
    auto slash = path.find_last_of("/\\");
    script.name = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

}  // namespace vorlek::host
