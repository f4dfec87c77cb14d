/* Ombrak10 from C: create classes by programmatic name, call their members by name with tagged
 * variants, receive events and buddy calls through function pointers.
 *
 * Every function returns OMBRAK10_OK or OMBRAK10_FAILED. After a failure, this thread's last
 * error holds the library error (number, source, description); after a success it is cleared
 * to number 0. No C++ exception crosses this interface.
 *
 * Texts inside variants are UTF-16 code units (lone surrogates included), as the library keeps
 * them; member names and programmatic names are UTF-8 (ASCII in practice). A variant owns what
 * it holds: set texts and byte arrays with the ombrak10_set_* functions, and free a variant's
 * contents with ombrak10_clear. Valid C99. */
#ifndef OMBRAK10_H
#define OMBRAK10_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OMBRAK10_OK 0
#define OMBRAK10_FAILED 1

/* An object reference held by the caller; release it with ombrak10_release. */
typedef struct ombrak10_object ombrak10_object;

/* What a variant holds. MISSING is an omitted optional argument. */
typedef enum ombrak10_type {
    OMBRAK10_EMPTY = 0,
    OMBRAK10_MISSING = 1,
    OMBRAK10_BOOL = 2,
    OMBRAK10_I16 = 3,
    OMBRAK10_I32 = 4,
    OMBRAK10_F64 = 5,
    OMBRAK10_TEXT = 6,
    OMBRAK10_BYTES = 7,
    OMBRAK10_OBJECT = 8
} ombrak10_type;

/* How a member is reached: a method call or one of the three property accessors. */
typedef enum ombrak10_kind {
    OMBRAK10_METHOD = 0,
    OMBRAK10_GET = 1,
    OMBRAK10_LET = 2,
    OMBRAK10_SET = 3
} ombrak10_kind;

/* A tagged value. Zero-initialised it is EMPTY. TEXT, BYTES and OBJECT own their storage
 * (allocated by the library); an OBJECT variant with a null object is "Nothing". */
typedef struct ombrak10_variant {
    int32_t type; /* an ombrak10_type (a fixed width, whatever size a compiler gives enums) */
    union {
        int32_t boolean; /* 0 false, 1 true */
        int16_t i16;
        int32_t i32;
        double f64;
        struct {
            uint16_t* units;
            size_t length;
        } text;
        struct {
            uint8_t* data;
            size_t length;
        } bytes;
        ombrak10_object* object;
    } as;
} ombrak10_variant;

/* One argument of a call. With by_ref nonzero the member's changes to an in/out parameter are
 * written back into `value` (its old contents freed), whether the call succeeds or fails. A
 * non-null `name` makes it a named argument; named arguments follow the positional ones. */
typedef struct ombrak10_arg {
    ombrak10_variant value;
    int32_t by_ref;
    const char* name;
} ombrak10_arg;

/* Variants. Each set function frees what the variant held before. */
void ombrak10_clear(ombrak10_variant* v);
void ombrak10_set_bool(ombrak10_variant* v, int value);
void ombrak10_set_i16(ombrak10_variant* v, int16_t value);
void ombrak10_set_i32(ombrak10_variant* v, int32_t value);
void ombrak10_set_f64(ombrak10_variant* v, double value);
void ombrak10_set_missing(ombrak10_variant* v);
/* Text from UTF-8 (invalid sequences become U+FFFD) or from UTF-16 code units as they are. */
int ombrak10_set_utf8(ombrak10_variant* v, const char* utf8, size_t length);
int ombrak10_set_utf16(ombrak10_variant* v, const uint16_t* units, size_t length);
int ombrak10_set_bytes(ombrak10_variant* v, const uint8_t* data, size_t length);
/* An object variant holding its own reference to `object` (which may be null: Nothing). */
int ombrak10_set_object(ombrak10_variant* v, ombrak10_object* object);
/* Copies a variant (a text, byte array or object reference is duplicated). */
int ombrak10_copy(ombrak10_variant* to, const ombrak10_variant* from);
/* A variant's text as UTF-8 in a new NUL-terminated string (free it with ombrak10_free); a lone
 * surrogate becomes U+FFFD. Other types are converted as a host converts them (a number to its
 * text), or fail with error 13. */
int ombrak10_to_utf8(const ombrak10_variant* v, char** utf8, size_t* length);
void ombrak10_free(void* p);

/* Objects. */
int ombrak10_create(const char* progid, ombrak10_object** object);
/* Another reference to the same object. */
ombrak10_object* ombrak10_retain(ombrak10_object* object);
void ombrak10_release(ombrak10_object* object);
/* Calls `member` with `count` arguments; `kind` is an ombrak10_kind. `result` (may be null)
 * receives the member's result; it is overwritten, not freed first: pass a cleared or new
 * variant. */
int ombrak10_invoke(ombrak10_object* object, const char* member, int32_t kind, ombrak10_arg* args,
                    size_t count, ombrak10_variant* result);

/* Host objects. A callback answers every call made on its object: member name, kind, the
 * arguments (write into a by_ref argument's value to change the caller's variable; replace or
 * clear what is there with the ombrak10_set_* functions) and a result variant to fill. It
 * returns OMBRAK10_OK, or OMBRAK10_FAILED after ombrak10_fail, which the library raises as its
 * error. `release` (may be null) is called with `user` when the object goes away. */
typedef int (*ombrak10_callback)(void* user, const char* member, int32_t kind, ombrak10_arg* args,
                                 size_t count, ombrak10_variant* result);
int ombrak10_host_object(ombrak10_callback callback, void* user, void (*release)(void* user),
                         ombrak10_object** object);
/* Sets this thread's error for a callback to return OMBRAK10_FAILED with (source and
 * description UTF-8; a null source is the library's default source). */
void ombrak10_fail(int32_t number, const char* source, const char* description);

/* Events: connects or disconnects an event sink, any object (a host object in particular). A
 * class's Progress event calls the sink's "Progress" member with Percent by reference. A buddy
 * object is set through the BuddyObject property (OMBRAK10_SET with an object variant). */
int ombrak10_connect(ombrak10_object* object, ombrak10_object* sink);
int ombrak10_disconnect(ombrak10_object* object, ombrak10_object* sink);

/* Introspection: the programmatic names in catalogue order, one per line, and a class's
 * description as JSON (a null name: every class). Free both with ombrak10_free. */
int ombrak10_classes(char** names);
int ombrak10_describe(const char* name, char** json);

/* This thread's last error. The pointers stay valid until this thread's next call into the
 * library. */
int32_t ombrak10_error_number(void);
const char* ombrak10_error_source(void);
const char* ombrak10_error_description(void);
const uint16_t* ombrak10_error_source_utf16(size_t* length);
const uint16_t* ombrak10_error_description_utf16(size_t* length);

#ifdef __cplusplus
}
#endif

#endif
