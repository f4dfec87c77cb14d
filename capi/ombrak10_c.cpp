// The C interface: handles over object references, tagged variants converted to and from the
// library's Variant at the boundary, and a per-thread last error. Every entry point catches
// everything, so no exception reaches a C caller.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/text.h"
#include "ombrak/frame/typelib.h"
#include "ombrak10.h"

struct ombrak10_object {
    ombrak::ObjectRef ref;
};

namespace {

using namespace ombrak;

struct LastError {
    std::int32_t number = 0;
    std::string source, description;
    Text source16, description16;
};
thread_local LastError last_error;

void set_error(const Error& e) {
    last_error.number = e.number();
    last_error.source = e.source();
    last_error.description = e.description();
    last_error.source16 = utf8_to_text(e.source());
    last_error.description16 = utf8_to_text(e.description());
}

void clear_error() {
    last_error.number = 0;
    last_error.source.clear();
    last_error.description.clear();
    last_error.source16.clear();
    last_error.description16.clear();
}

// Runs one entry point: OMBRAK10_OK with the last error cleared, or OMBRAK10_FAILED with it set.
template <class F>
int guarded(F&& body) noexcept {
    try {
        clear_error();
        body();
        return OMBRAK10_OK;
    } catch (...) {
        try {
            set_error(current_error());
        } catch (...) {
            last_error.number = 7;  // no memory left to keep the texts
        }
        return OMBRAK10_FAILED;
    }
}

void require(const void* p) {
    if (!p) raise_runtime(RuntimeError::InvalidCall);
}

void* allocate(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

// Variant -> C variant. The C variant's previous contents must already be freed.
void put(ombrak10_variant& out, const Variant& v) {
    ombrak10_variant r{};
    switch (v.type()) {
        case VarType::Empty:
            r.type = OMBRAK10_EMPTY;
            break;
        case VarType::Missing:
            r.type = OMBRAK10_MISSING;
            break;
        case VarType::Bool:
            r.type = OMBRAK10_BOOL;
            r.as.boolean = v.get<bool>() ? 1 : 0;
            break;
        case VarType::I16:
            r.type = OMBRAK10_I16;
            r.as.i16 = v.get<std::int16_t>();
            break;
        case VarType::I32:
            r.type = OMBRAK10_I32;
            r.as.i32 = v.get<std::int32_t>();
            break;
        case VarType::F64:
            r.type = OMBRAK10_F64;
            r.as.f64 = v.get<double>();
            break;
        case VarType::Text: {
            const Text& t = v.get<Text>();
            r.type = OMBRAK10_TEXT;
            r.as.text.units = static_cast<std::uint16_t*>(allocate(t.size() * 2));
            if (!t.empty()) std::memcpy(r.as.text.units, t.data(), t.size() * 2);
            r.as.text.length = t.size();
            break;
        }
        case VarType::Bytes: {
            const Bytes& b = v.get<Bytes>();
            r.type = OMBRAK10_BYTES;
            r.as.bytes.data = static_cast<std::uint8_t*>(allocate(b.size()));
            if (!b.empty()) std::memcpy(r.as.bytes.data, b.data(), b.size());
            r.as.bytes.length = b.size();
            break;
        }
        case VarType::Object: {
            r.type = OMBRAK10_OBJECT;
            const ObjectRef& o = v.get<ObjectRef>();
            r.as.object = o ? new ombrak10_object{o} : nullptr;
            break;
        }
    }
    out = r;
}

// C variant -> Variant. An unknown tag is an invalid argument.
Variant take(const ombrak10_variant& v) {
    switch (v.type) {
        case OMBRAK10_EMPTY:
            return Variant();
        case OMBRAK10_MISSING:
            return Variant::missing();
        case OMBRAK10_BOOL:
            return Variant(v.as.boolean != 0);
        case OMBRAK10_I16:
            return Variant(v.as.i16);
        case OMBRAK10_I32:
            return Variant(v.as.i32);
        case OMBRAK10_F64:
            return Variant(v.as.f64);
        case OMBRAK10_TEXT:
            if (!v.as.text.units && v.as.text.length) raise_runtime(RuntimeError::InvalidCall);
            return Variant(
                Text(reinterpret_cast<const char16_t*>(v.as.text.units), v.as.text.length));
        case OMBRAK10_BYTES:
            if (!v.as.bytes.data && v.as.bytes.length) raise_runtime(RuntimeError::InvalidCall);
            return Variant(Bytes(v.as.bytes.data, v.as.bytes.data + v.as.bytes.length));
        case OMBRAK10_OBJECT:
            return Variant(v.as.object ? v.as.object->ref : ObjectRef());
    }
    raise_runtime(RuntimeError::InvalidCall);
}

void release_contents(ombrak10_variant& v) noexcept {
    switch (v.type) {
        case OMBRAK10_TEXT:
            std::free(v.as.text.units);
            break;
        case OMBRAK10_BYTES:
            std::free(v.as.bytes.data);
            break;
        case OMBRAK10_OBJECT:
            delete v.as.object;
            break;
        default:
            break;
    }
    v = ombrak10_variant{};
}

void replace(ombrak10_variant* v, const Variant& value) {
    ombrak10_variant fresh{};
    put(fresh, value);  // may fail; the old contents stay until it has succeeded
    release_contents(*v);
    *v = fresh;
}

// The arguments of a call made on a host object, as the callback sees them.
struct CallbackArgs {
    std::vector<ombrak10_arg> args;
    std::vector<std::string> names;
    ~CallbackArgs() {
        for (ombrak10_arg& a : args) release_contents(a.value);
    }
};

struct HostUser {
    ombrak10_callback callback = nullptr;
    void* user = nullptr;
    void (*release)(void*) = nullptr;
    ~HostUser() {
        if (release) release(user);
    }
};

Variant call_host(const HostUser& host, std::string_view member, MemberKind kind,
                  std::span<ArgRef> args) {
    CallbackArgs c;
    c.args.resize(args.size());
    c.names.reserve(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        put(c.args[i].value, *args[i].var);
        c.args[i].by_ref = args[i].by_ref ? 1 : 0;
        c.names.emplace_back(args[i].name);
        c.args[i].name = args[i].name.empty() ? nullptr : c.names.back().c_str();
    }
    const std::string name(member);
    ombrak10_variant result{};
    const int status = host.callback(host.user, name.c_str(), static_cast<std::int32_t>(kind),
                                     c.args.data(), c.args.size(), &result);
    Variant out;
    try {
        // What the callback left in a by-reference argument is the caller's variable now, even
        // when it fails.
        for (std::size_t i = 0; i < args.size(); ++i)
            if (args[i].by_ref) *args[i].var = take(c.args[i].value);
        out = take(result);
    } catch (...) {
        release_contents(result);
        throw;
    }
    release_contents(result);
    if (status != OMBRAK10_OK) {
        if (last_error.number == 0) raise_runtime(RuntimeError::InvalidCall);
        throw Error(last_error.number, last_error.source, last_error.description);
    }
    return out;
}

char* duplicate(const std::string& s) {
    char* p = static_cast<char*>(allocate(s.size() + 1));
    std::memcpy(p, s.data(), s.size() + 1);
    return p;
}

}  // namespace

extern "C" {

void ombrak10_clear(ombrak10_variant* v) {
    if (v) release_contents(*v);
}

void ombrak10_set_bool(ombrak10_variant* v, int value) {
    if (!v) return;
    release_contents(*v);
    v->type = OMBRAK10_BOOL;
    v->as.boolean = value ? 1 : 0;
}

void ombrak10_set_i16(ombrak10_variant* v, int16_t value) {
    if (!v) return;
    release_contents(*v);
    v->type = OMBRAK10_I16;
    v->as.i16 = value;
}

void ombrak10_set_i32(ombrak10_variant* v, int32_t value) {
    if (!v) return;
    release_contents(*v);
    v->type = OMBRAK10_I32;
    v->as.i32 = value;
}

void ombrak10_set_f64(ombrak10_variant* v, double value) {
    if (!v) return;
    release_contents(*v);
    v->type = OMBRAK10_F64;
    v->as.f64 = value;
}

void ombrak10_set_missing(ombrak10_variant* v) {
    if (!v) return;
    release_contents(*v);
    v->type = OMBRAK10_MISSING;
}

int ombrak10_set_utf8(ombrak10_variant* v, const char* utf8, size_t length) {
    return guarded([&] {
        require(v);
        if (length) require(utf8);
        replace(v, Variant(utf8_to_text(std::string_view(utf8 ? utf8 : "", length))));
    });
}

int ombrak10_set_utf16(ombrak10_variant* v, const uint16_t* units, size_t length) {
    return guarded([&] {
        require(v);
        if (length) require(units);
        replace(v, Variant(Text(reinterpret_cast<const char16_t*>(units), length)));
    });
}

int ombrak10_set_bytes(ombrak10_variant* v, const uint8_t* data, size_t length) {
    return guarded([&] {
        require(v);
        if (length) require(data);
        replace(v, Variant(Bytes(data, data + length)));
    });
}

int ombrak10_set_object(ombrak10_variant* v, ombrak10_object* object) {
    return guarded([&] {
        require(v);
        replace(v, Variant(object ? object->ref : ObjectRef()));
    });
}

int ombrak10_copy(ombrak10_variant* to, const ombrak10_variant* from) {
    return guarded([&] {
        require(to);
        require(from);
        if (to == from) return;
        replace(to, take(*from));
    });
}

int ombrak10_to_utf8(const ombrak10_variant* v, char** utf8, size_t* length) {
    return guarded([&] {
        require(v);
        require(utf8);
        const std::string s = text_to_utf8(to_text(take(*v)));
        *utf8 = duplicate(s);
        if (length) *length = s.size();
    });
}

void ombrak10_free(void* p) {
    std::free(p);
}

int ombrak10_create(const char* progid, ombrak10_object** object) {
    return guarded([&] {
        require(object);
        *object = nullptr;
        require(progid);
        ObjectRef ref = create_object(progid);
        *object = new ombrak10_object{std::move(ref)};
    });
}

ombrak10_object* ombrak10_retain(ombrak10_object* object) {
    if (!object) return nullptr;
    return new (std::nothrow) ombrak10_object{object->ref};
}

void ombrak10_release(ombrak10_object* object) {
    delete object;  // the object's own destructor does not throw
}

int ombrak10_invoke(ombrak10_object* object, const char* member, int32_t kind, ombrak10_arg* args,
                    size_t count, ombrak10_variant* result) {
    if (result) *result = ombrak10_variant{};
    return guarded([&] {
        require(object);
        require(member);
        if (count) require(args);
        if (kind < OMBRAK10_METHOD || kind > OMBRAK10_SET) raise_runtime(RuntimeError::InvalidCall);
        std::vector<Variant> vars;
        vars.reserve(count);
        for (std::size_t i = 0; i < count; ++i) vars.push_back(take(args[i].value));
        // The converted values are this call's own variables: each goes by reference, so it
        // moves into the member without another copy, and only the caller's by-reference
        // entries are written back.
        std::vector<ArgRef> refs(count);
        for (std::size_t i = 0; i < count; ++i)
            refs[i] = ArgRef{&vars[i], true,
                             args[i].name ? std::string_view(args[i].name) : std::string_view()};
        auto write_back = [&] {
            for (std::size_t i = 0; i < count; ++i)
                if (args[i].by_ref) replace(&args[i].value, vars[i]);
        };
        Variant r;
        try {
            r = object->ref->invoke(member, static_cast<MemberKind>(kind), refs);
        } catch (...) {
            const Error e = current_error();
            write_back();
            throw e;
        }
        write_back();
        if (result) put(*result, r);
    });
}

int ombrak10_host_object(ombrak10_callback callback, void* user, void (*release)(void*),
                         ombrak10_object** object) {
    return guarded([&] {
        require(object);
        *object = nullptr;
        require(reinterpret_cast<const void*>(callback));
        auto host = std::make_shared<HostUser>();
        host->callback = callback;
        host->user = user;
        ObjectRef ref = make_host_object(
            [host](std::string_view member, MemberKind kind, std::span<ArgRef> args) {
                return call_host(*host, member, kind, args);
            });
        *object = new ombrak10_object{std::move(ref)};
        host->release = release;  // from here on the object owns `user`
    });
}

void ombrak10_fail(int32_t number, const char* source, const char* description) {
    try {
        set_error(Error(number, source && *source ? source : kDefaultSource,
                        description ? description : ""));
    } catch (...) {
        last_error.number = number;
    }
}

int ombrak10_connect(ombrak10_object* object, ombrak10_object* sink) {
    return guarded([&] {
        require(object);
        require(sink);
        object->ref->connect(sink->ref);
    });
}

int ombrak10_disconnect(ombrak10_object* object, ombrak10_object* sink) {
    return guarded([&] {
        require(object);
        require(sink);
        object->ref->disconnect(sink->ref);
    });
}

int ombrak10_classes(char** names) {
    return guarded([&] {
        require(names);
        *names = nullptr;
        std::string all;
        for (const CatalogueEntry& e : catalogue()) all += e.progid + "\n";
        *names = duplicate(all);
    });
}

int ombrak10_describe(const char* name, char** json) {
    return guarded([&] {
        require(json);
        *json = nullptr;
        if (!name) {
            *json = duplicate(type_library_json());
            return;
        }
        const auto entry = find_entry(name);
        if (!entry || !entry->info) raise_runtime(RuntimeError::CannotCreateObject);
        *json = duplicate(class_json(*entry->info, entry->progid));
    });
}

int32_t ombrak10_error_number(void) {
    return last_error.number;
}

const char* ombrak10_error_source(void) {
    return last_error.source.c_str();
}

const char* ombrak10_error_description(void) {
    return last_error.description.c_str();
}

const uint16_t* ombrak10_error_source_utf16(size_t* length) {
    if (length) *length = last_error.source16.size();
    return reinterpret_cast<const uint16_t*>(last_error.source16.c_str());
}

const uint16_t* ombrak10_error_description_utf16(size_t* length) {
    if (length) *length = last_error.description16.size();
    return reinterpret_cast<const uint16_t*>(last_error.description16.c_str());
}

}  // extern "C"
