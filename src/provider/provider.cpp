// The provider operations over handles: one table of open contexts, hashes and keys (looked up
// under a lock, used outside it), and the registry of providers by name.
#include "ombrak/provider/provider.h"

#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <variant>

namespace ombrak::provider {

namespace {

struct Context {
    std::shared_ptr<Provider> provider;
};
struct Hash {
    std::shared_ptr<Provider> provider;  // keeps its provider alive
    std::shared_ptr<HashObject> object;
};
struct Key {
    std::shared_ptr<Provider> provider;
    std::shared_ptr<KeyObject> object;
};
using Entry = std::variant<Context, Hash, Key>;

struct Registry {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<Provider>> providers;
    std::unordered_map<Handle, Entry> handles;
    Handle next = 0;

    Registry() { defaults(); }
    void defaults() {
        providers.clear();
        providers[kBaseProvider] = builtin_provider(false);
        providers[kEnhancedProvider] = builtin_provider(true);
    }
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: handles may outlive static objects
    return *r;
}

thread_local std::uint32_t t_last_error = 0;

bool fail(std::uint32_t error) {
    t_last_error = error;
    return false;
}

// A new handle for the entry: never 0, never one in use.
Handle add(Entry entry) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    do {
        ++r.next;
    } while (r.next == 0 || r.handles.count(r.next));
    r.handles.emplace(r.next, std::move(entry));
    return r.next;
}

// The entry of a handle if it is of kind T (a copy: usable after the lock is released).
template <class T>
std::optional<T> find(Handle h) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.handles.find(h);
    if (it == r.handles.end()) return std::nullopt;
    if (const T* t = std::get_if<T>(&it->second)) return *t;
    return std::nullopt;
}

template <class T>
bool remove(Handle h) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.handles.find(h);
    if (it == r.handles.end() || !std::holds_alternative<T>(it->second))
        return fail(ERROR_INVALID_HANDLE);
    r.handles.erase(it);
    return true;
}

}  // namespace

void register_provider(const std::string& name, std::shared_ptr<Provider> provider) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.providers[name] = std::move(provider);
}

void unregister_provider(const std::string& name) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.providers.erase(name);
}

void restore_default_providers() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.defaults();
}

bool acquire_context(Handle& context, const char* /*container*/, const char* provider_name,
                     std::uint32_t type, std::uint32_t flags) {
    context = 0;
    if (type != PROV_RSA_FULL) return fail(NTE_PROV_TYPE_NOT_DEF);
    if (flags != 0 && flags != CRYPT_NEWKEYSET && flags != CRYPT_VERIFYCONTEXT)
        return fail(NTE_BAD_FLAGS);
    const std::string name = provider_name && *provider_name ? provider_name : kBaseProvider;
    std::shared_ptr<Provider> provider;
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        auto it = r.providers.find(name);
        if (it == r.providers.end() || !it->second) return fail(NTE_KEYSET_NOT_DEF);
        provider = it->second;
    }
    context = add(Context{std::move(provider)});
    return true;
}

bool release_context(Handle context, std::uint32_t flags) {
    if (flags) return fail(NTE_BAD_FLAGS);
    return remove<Context>(context);
}

bool create_hash(Handle context, std::uint32_t algorithm, Handle key, std::uint32_t flags,
                 Handle& hash) {
    hash = 0;
    const auto c = find<Context>(context);
    if (!c) return fail(ERROR_INVALID_HANDLE);
    if (key || flags) return fail(NTE_BAD_FLAGS);
    std::uint32_t error = NTE_BAD_ALGID;
    std::shared_ptr<HashObject> object = c->provider->create_hash(algorithm, error);
    if (!object) return fail(error);
    hash = add(Hash{c->provider, std::move(object)});
    return true;
}

bool hash_data(Handle hash, const std::uint8_t* data, std::uint32_t length, std::uint32_t flags) {
    const auto h = find<Hash>(hash);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    if (flags) return fail(NTE_BAD_FLAGS);
    if (length && !data) return fail(NTE_BAD_DATA);
    if (!h->object->update({data, length})) return fail(NTE_BAD_HASH_STATE);
    return true;
}

bool get_hash_value(Handle hash, Bytes& value) {
    const auto h = find<Hash>(hash);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    value = h->object->value();
    return true;
}

bool destroy_hash(Handle hash) {
    return remove<Hash>(hash);
}

bool derive_key(Handle context, std::uint32_t algorithm, Handle hash, std::uint32_t flags,
                Handle& key) {
    key = 0;
    const auto c = find<Context>(context);
    const auto h = find<Hash>(hash);
    if (!c || !h) return fail(ERROR_INVALID_HANDLE);
    if (h->provider != c->provider) return fail(NTE_BAD_HASH);
    std::uint32_t error = NTE_BAD_ALGID;
    std::shared_ptr<KeyObject> object =
        c->provider->derive_key(algorithm, *h->object, flags, error);
    if (!object) return fail(error);
    key = add(Key{c->provider, std::move(object)});
    return true;
}

bool destroy_key(Handle key) {
    return remove<Key>(key);
}

bool encrypt(Handle key, Handle hash, bool final, std::uint32_t flags, std::uint8_t* data,
             std::uint32_t& length, std::uint32_t capacity) {
    const auto k = find<Key>(key);
    if (!k) return fail(ERROR_INVALID_HANDLE);
    if (hash || flags) return fail(NTE_BAD_FLAGS);
    std::uint32_t error = 0;
    return k->object->encrypt(final, data, length, capacity, error) || fail(error);
}

bool decrypt(Handle key, Handle hash, bool final, std::uint32_t flags, std::uint8_t* data,
             std::uint32_t& length) {
    const auto k = find<Key>(key);
    if (!k) return fail(ERROR_INVALID_HANDLE);
    if (hash || flags) return fail(NTE_BAD_FLAGS);
    if (length && !data) return fail(NTE_BAD_DATA);
    std::uint32_t error = 0;
    return k->object->decrypt(final, data, length, error) || fail(error);
}

std::uint32_t last_error() noexcept {
    return t_last_error;
}

std::size_t open_handles() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    return r.handles.size();
}

}  // namespace ombrak::provider
