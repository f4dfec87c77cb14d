/* The C interface, compiled as C99: calls by name with write-backs, errors with their numbers,
 * host objects as event sinks and buddies, and the per-thread last error. */
#include <ombrak10.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>

static int passed, failed;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (cond) {                                                                                \
            ++passed;                                                                              \
        } else {                                                                                   \
            ++failed;                                                                              \
            fprintf(stderr, "%s:%d: CHECK(%s) failed; last error %d %s: %s\n", __FILE__, __LINE__, \
                    #cond, (int)ombrak10_error_number(), ombrak10_error_source(),                  \
                    ombrak10_error_description());                                                 \
        }                                                                                          \
    } while (0)

/* True when v is a text equal to the ASCII string s. */
static int text_is(const ombrak10_variant* v, const char* s) {
    size_t i, n = strlen(s);
    if (v->type != OMBRAK10_TEXT || v->as.text.length != n) return 0;
    for (i = 0; i < n; ++i)
        if (v->as.text.units[i] != (uint16_t)(unsigned char)s[i]) return 0;
    return 1;
}

static void text_arg(ombrak10_arg* a, const char* s, int by_ref) {
    memset(a, 0, sizeof *a);
    ombrak10_set_utf8(&a->value, s, strlen(s));
    a->by_ref = by_ref;
}

static void calls_by_name(void) {
    ombrak10_object* b64 = NULL;
    ombrak10_object* classic = NULL;
    ombrak10_arg a[2];
    ombrak10_variant r;
    char* utf8 = NULL;
    size_t n = 0;

    CHECK(ombrak10_create("ombrak10.CLSKVVESKENCDECBASE64A", &b64) == OMBRAK10_OK);
    text_arg(&a[0], "Man", 1);
    CHECK(ombrak10_invoke(b64, "Encode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_OK);
    CHECK(text_is(&r, "TWFu"));
    CHECK(text_is(&a[0].value, "Man"));
    CHECK(ombrak10_error_number() == 0);
    ombrak10_clear(&r);

    /* A named argument, and the result read as UTF-8. */
    ombrak10_set_utf8(&a[0].value, "gOk=", 4);
    a[0].name = "SINPUT";
    CHECK(ombrak10_invoke(b64, "Decode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_OK);
    CHECK(ombrak10_to_utf8(&r, &utf8, &n) == OMBRAK10_OK);
    CHECK(n == 5 && strcmp(utf8, "\xE2\x82\xAC\xC3\xA9") == 0); /* euro sign, e acute */
    ombrak10_free(utf8);
    ombrak10_clear(&r);
    ombrak10_clear(&a[0].value);

    /* An in/out parameter comes back in the caller's variable; by value it does not. */
    CHECK(ombrak10_create("Ombrak10.clsKvVeskClassicCiphersA", &classic) == OMBRAK10_OK);
    text_arg(&a[0], "Hello", 1);
    memset(&a[1], 0, sizeof a[1]);
    ombrak10_set_i16(&a[1].value, 30);
    a[1].by_ref = 1;
    CHECK(ombrak10_invoke(classic, "CaesarShift", OMBRAK10_METHOD, a, 2, &r) == OMBRAK10_OK);
    CHECK(text_is(&r, "Lipps"));
    CHECK(a[1].value.type == OMBRAK10_I16 && a[1].value.as.i16 == 4);
    ombrak10_clear(&r);
    ombrak10_set_i16(&a[1].value, 30);
    a[1].by_ref = 0;
    CHECK(ombrak10_invoke(classic, "CaesarShift", OMBRAK10_METHOD, a, 2, &r) == OMBRAK10_OK);
    CHECK(a[1].value.as.i16 == 30);
    ombrak10_clear(&r);
    ombrak10_clear(&a[0].value);
    ombrak10_clear(&a[1].value);

    /* A lone surrogate crosses as it is. */
    {
        const uint16_t lone[] = {0xD800};
        memset(&a[0], 0, sizeof a[0]);
        ombrak10_set_utf16(&a[0].value, lone, 1);
        CHECK(ombrak10_invoke(b64, "Encode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_OK);
        CHECK(text_is(&r, "Pw==")); /* the code page makes it "?" */
        CHECK(a[0].value.as.text.length == 1 && a[0].value.as.text.units[0] == 0xD800);
        ombrak10_clear(&r);
        ombrak10_clear(&a[0].value);
    }
    ombrak10_release(classic);
    ombrak10_release(b64);
}

static void errors(void) {
    ombrak10_object* obj = NULL;
    ombrak10_object* huffman = NULL;
    ombrak10_arg a[2];
    ombrak10_variant r;
    size_t n = 0;
    const uint16_t* d16;

    CHECK(ombrak10_create("Ombrak10.NoSuchClass", &obj) == OMBRAK10_FAILED);
    CHECK(obj == NULL && ombrak10_error_number() == 429);
    CHECK(strcmp(ombrak10_error_description(), "ActiveX component can't create object") == 0);
    d16 = ombrak10_error_description_utf16(&n);
    CHECK(n == strlen(ombrak10_error_description()) && d16[0] == 'A' && d16[n] == 0);

    CHECK(ombrak10_create("Ombrak10.clsKvVeskEncDecBase64A", &obj) == OMBRAK10_OK);
    CHECK(ombrak10_invoke(obj, "Encrypt", OMBRAK10_METHOD, NULL, 0, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 438 && r.type == OMBRAK10_EMPTY);
    CHECK(strcmp(ombrak10_error_source(), "Ombrak10") == 0);
    CHECK(ombrak10_invoke(obj, "Encode64", OMBRAK10_METHOD, NULL, 0, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 449);
    memset(a, 0, sizeof a);
    CHECK(ombrak10_invoke(obj, "Encode64", OMBRAK10_METHOD, a, 2, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 450);
    a[0].name = "sOther";
    CHECK(ombrak10_invoke(obj, "Encode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 448);
    a[0].name = NULL;
    a[0].value.type = 99; /* not a tag */
    CHECK(ombrak10_invoke(obj, "Encode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 5);
    a[0].value.type = OMBRAK10_EMPTY;
    CHECK(ombrak10_invoke(obj, "Encode64", 7, a, 1, &r) == OMBRAK10_FAILED); /* not a kind */
    CHECK(ombrak10_error_number() == 5);
    CHECK(ombrak10_invoke(obj, NULL, OMBRAK10_METHOD, NULL, 0, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == 5);
    CHECK(ombrak10_invoke(NULL, "Encode64", OMBRAK10_METHOD, NULL, 0, &r) == OMBRAK10_FAILED);

    /* A library error keeps its number, source and description. */
    CHECK(ombrak10_create("Ombrak10.clsKvVeskEncDecHuffmanA", &huffman) == OMBRAK10_OK);
    memset(a, 0, sizeof a);
    ombrak10_set_bytes(&a[0].value, (const uint8_t*)"HE4\r", 4);
    ombrak10_set_i32(&a[1].value, 4);
    CHECK(ombrak10_invoke(huffman, "DecodeByte", OMBRAK10_METHOD, a, 2, &r) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == -2147221504);
    CHECK(strcmp(ombrak10_error_source(), "HuffmanDecode()") == 0);
    CHECK(strncmp(ombrak10_error_description(), "The data either was not compressed", 34) == 0);
    ombrak10_clear(&a[0].value);
    /* ... and a success afterwards clears it. */
    text_arg(&a[0], "x", 0);
    CHECK(ombrak10_invoke(obj, "Encode64", OMBRAK10_METHOD, a, 1, &r) == OMBRAK10_OK);
    CHECK(ombrak10_error_number() == 0 && ombrak10_error_description()[0] == '\0');
    ombrak10_clear(&r);
    ombrak10_clear(&a[0].value);
    ombrak10_release(huffman);
    ombrak10_release(obj);
}

/* A host object that records Progress notifications and can write back or fail. */
struct recorder {
    int calls;
    int percents[16];
    char last_member[64];
    int write_back; /* nonzero: write 100 into the by-reference argument */
    int fail;       /* nonzero: fail every call */
    int released;
};

static int record(void* user, const char* member, int32_t kind, ombrak10_arg* args, size_t count,
                  ombrak10_variant* result) {
    struct recorder* r = (struct recorder*)user;
    (void)kind;
    (void)result;
    snprintf(r->last_member, sizeof r->last_member, "%s", member);
    if (count == 1 && r->calls < 16)
        r->percents[r->calls] = args[0].value.type == OMBRAK10_I16 ? args[0].value.as.i16 : -1;
    ++r->calls;
    if (r->fail) {
        ombrak10_fail(-2147221504 + 7, "HostBuddy", "the host refused");
        return OMBRAK10_FAILED;
    }
    if (r->write_back && count == 1 && args[0].by_ref) ombrak10_set_i16(&args[0].value, 100);
    return OMBRAK10_OK;
}

static void release_recorder(void* user) {
    ((struct recorder*)user)->released = 1;
}

/* Compresses "abracadabra" with Huffman; returns the call's status and the written array. */
static int compress(ombrak10_object* huffman, ombrak10_variant* out) {
    ombrak10_arg a[2];
    ombrak10_variant r;
    int status;
    memset(a, 0, sizeof a);
    ombrak10_set_bytes(&a[0].value, (const uint8_t*)"abracadabra", 11);
    ombrak10_set_i32(&a[1].value, 11);
    a[0].by_ref = a[1].by_ref = 1;
    status = ombrak10_invoke(huffman, "EncodeByte", OMBRAK10_METHOD, a, 2, &r);
    *out = a[0].value;
    ombrak10_clear(&r);
    return status;
}

static void events_and_buddies(void) {
    ombrak10_object* huffman = NULL;
    ombrak10_object* sink = NULL;
    ombrak10_object* buddy = NULL;
    ombrak10_variant container;
    ombrak10_arg a[1];
    ombrak10_variant r;
    struct recorder events, calls;
    memset(&events, 0, sizeof events);
    memset(&calls, 0, sizeof calls);

    CHECK(ombrak10_create("Ombrak10.clsKvVeskEncDecHuffmanA", &huffman) == OMBRAK10_OK);
    CHECK(ombrak10_host_object(record, &events, release_recorder, &sink) == OMBRAK10_OK);
    CHECK(ombrak10_connect(huffman, sink) == OMBRAK10_OK);
    CHECK(compress(huffman, &container) == OMBRAK10_OK);
    CHECK(container.type == OMBRAK10_BYTES && container.as.bytes.length > 4 &&
          memcmp(container.as.bytes.data, "HE3\r", 4) == 0);
    ombrak10_clear(&container);
    CHECK(events.calls == 3 && strcmp(events.last_member, "Progress") == 0);
    CHECK(events.percents[0] == 7 && events.percents[1] == 12 && events.percents[2] == 100);

    /* A sink's write-back is what the operation sees: with 100 written back after each step,
     * the final 100 is not sent. */
    events.calls = 0;
    events.write_back = 1;
    CHECK(compress(huffman, &container) == OMBRAK10_OK);
    ombrak10_clear(&container);
    CHECK(events.calls == 2 && events.percents[0] == 7 && events.percents[1] == 12);
    CHECK(ombrak10_disconnect(huffman, sink) == OMBRAK10_OK);

    /* A buddy object: its method by name instead of the event; its failure fails the call. */
    CHECK(ombrak10_host_object(record, &calls, NULL, &buddy) == OMBRAK10_OK);
    memset(a, 0, sizeof a);
    ombrak10_set_object(&a[0].value, buddy);
    a[0].by_ref = 1;
    CHECK(ombrak10_invoke(huffman, "BuddyObject", OMBRAK10_SET, a, 1, NULL) == OMBRAK10_OK);
    ombrak10_clear(&a[0].value);
    CHECK(ombrak10_invoke(huffman, "BuddyObject", OMBRAK10_GET, NULL, 0, &r) == OMBRAK10_OK);
    CHECK(r.type == OMBRAK10_OBJECT && r.as.object != NULL);
    ombrak10_clear(&r);
    CHECK(compress(huffman, &container) == OMBRAK10_OK);
    ombrak10_clear(&container);
    CHECK(calls.calls == 3 && strcmp(calls.last_member, "czVeskEncDecHuffman_Progress") == 0);
    calls.fail = 1;
    CHECK(compress(huffman, &container) == OMBRAK10_FAILED);
    CHECK(ombrak10_error_number() == -2147221504 + 7);
    CHECK(strcmp(ombrak10_error_source(), "HostBuddy") == 0);
    CHECK(strcmp(ombrak10_error_description(), "the host refused") == 0);
    /* The array is the caller's variable: after the failure it is still the plaintext. */
    CHECK(container.type == OMBRAK10_BYTES && container.as.bytes.length == 11);
    ombrak10_clear(&container);

    /* Releasing the last references releases the host object's user data. */
    ombrak10_release(sink);
    CHECK(events.released == 1);
    ombrak10_release(buddy);
    ombrak10_release(huffman);
}

static void introspection(void) {
    char* text = NULL;
    CHECK(ombrak10_classes(&text) == OMBRAK10_OK);
    CHECK(strstr(text, "Ombrak10.clsKvVeskEncDecTeaA\n") != NULL);
    ombrak10_free(text);
    CHECK(ombrak10_describe("clsKvVeskEncDecBase64A", &text) == OMBRAK10_OK);
    CHECK(strstr(text, "\"Encode64\"") != NULL);
    ombrak10_free(text);
    CHECK(ombrak10_describe("NoSuchClass", &text) == OMBRAK10_FAILED && text == NULL);
}

/* Each thread has its own last error: one thread fails over and over while the other succeeds. */
static void* create_repeatedly(void* progid) {
    int i, ok = 1;
    const int missing = strcmp((const char*)progid, "Ombrak10.Missing") == 0;
    ombrak10_object* obj = NULL;
    for (i = 0; i < 2000; ++i) {
        ok &=
            ombrak10_create((const char*)progid, &obj) == (missing ? OMBRAK10_FAILED : OMBRAK10_OK);
        ok &= ombrak10_error_number() == (missing ? 429 : 0);
        ombrak10_release(obj);
    }
    return ok ? (void*)1 : NULL;
}

static void threads(void) {
    pthread_t a, b;
    void *ra = NULL, *rb = NULL;
    CHECK(pthread_create(&a, NULL, create_repeatedly, (void*)"Ombrak10.Missing") == 0);
    CHECK(pthread_create(&b, NULL, create_repeatedly, (void*)"Ombrak10.clsKvVeskEncDecBase64A") ==
          0);
    pthread_join(a, &ra);
    pthread_join(b, &rb);
    CHECK(ra != NULL && rb != NULL);
}

int main(void) {
    calls_by_name();
    errors();
    events_and_buddies();
    introspection();
    threads();
    printf("capi: %d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
