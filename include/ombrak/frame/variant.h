// The tagged value that crosses every dynamic call, and the host-like conversions between its
// types.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace ombrak {

class Object;

/// A counted object reference; a null pointer is "nothing".
using ObjectRef = std::shared_ptr<Object>;
/// A zero-based byte array.
using Bytes = std::vector<std::uint8_t>;
/// A host text: UTF-16 code units.
using Text = std::u16string;

/// What a Variant holds.
enum class VarType : std::uint8_t { Empty, Missing, Bool, I16, I32, F64, Text, Bytes, Object };

/// The name of a type as the script host and introspection print it ("i32", "text", ...).
const char* type_name(VarType t) noexcept;

class Variant {
  public:
    Variant() noexcept = default;
    Variant(bool v) : v_(v) {}
    Variant(std::int16_t v) : v_(v) {}
    Variant(std::int32_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(Text v) : v_(std::move(v)) {}
    Variant(const char16_t* v) : v_(Text(v)) {}
    Variant(Bytes v) : v_(std::move(v)) {}
    Variant(ObjectRef v) : v_(std::move(v)) {}
    Variant(const char*) = delete;  // would silently become a Boolean

    /// An omitted optional argument.
    static Variant missing() { return Variant(MissingTag{}); }

    VarType type() const noexcept { return static_cast<VarType>(v_.index()); }
    bool is_empty() const noexcept { return type() == VarType::Empty; }
    bool is_missing() const noexcept { return type() == VarType::Missing; }

    /// Direct access to the held value; the type must match.
    template <class T>
    T& get() {
        return std::get<T>(v_);
    }
    template <class T>
    const T& get() const {
        return std::get<T>(v_);
    }

    friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

  private:
    struct MissingTag {
        friend bool operator==(MissingTag, MissingTag) { return true; }
    };
    explicit Variant(MissingTag m) : v_(m) {}
    std::variant<std::monostate, MissingTag, bool, std::int16_t, std::int32_t, double, Text, Bytes,
                 ObjectRef>
        v_;
};

// Host-like conversions. Numeric text becomes a number, numbers round half to even, a value out
// of the target's range raises error 6 (Overflow) and an impossible conversion error 13.
bool to_bool(const Variant& v);
std::int16_t to_i16(const Variant& v);
std::int32_t to_i32(const Variant& v);
double to_f64(const Variant& v);
Text to_text(const Variant& v);
Bytes to_bytes(const Variant& v);
ObjectRef to_object(const Variant& v);

/// Converts v to type t (Empty and Missing return v unchanged).
Variant coerce(const Variant& v, VarType t);

}  // namespace ombrak
