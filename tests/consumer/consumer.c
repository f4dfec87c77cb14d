/* A C program built with pkg-config against the installed library. */
#include <ombrak10.h>
#include <string.h>

int main(void) {
    ombrak10_object* b64 = NULL;
    ombrak10_arg arg;
    ombrak10_variant result;
    char* text = NULL;
    int ok;
    memset(&arg, 0, sizeof arg);
    if (ombrak10_create("Ombrak10.clsKvVeskEncDecBase64A", &b64) != OMBRAK10_OK) return 1;
    ombrak10_set_utf8(&arg.value, "Man", 3);
    if (ombrak10_invoke(b64, "Encode64", OMBRAK10_METHOD, &arg, 1, &result) != OMBRAK10_OK)
        return 1;
    ok = ombrak10_to_utf8(&result, &text, NULL) == OMBRAK10_OK && strcmp(text, "TWFu") == 0;
    ombrak10_free(text);
    ombrak10_clear(&result);
    ombrak10_clear(&arg.value);
    ombrak10_release(b64);
    return ok ? 0 : 1;
}
