// Creates a class by name through the installed library and checks one answer.
#include <ombrak/frame/components.h>

int main() {
    ombrak::ObjectRef b64 = ombrak::create_object("Ombrak10.clsKvVeskEncDecBase64A");
    ombrak::Variant text(u"Man");
    return ombrak::call(*b64, "Encode64", text) == ombrak::Variant(u"TWFu") ? 0 : 1;
}
