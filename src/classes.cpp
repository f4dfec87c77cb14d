// The catalogue's explicit list of classes, in catalogue order.
#include "ombrak/ciphers/classes.h"

#include "frame/catalogue_list.h"
#include "ombrak/classic/classes.h"
#include "ombrak/digests/classes.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/encoding/huffman_class.h"
#include "ombrak/frame/root_class.h"
#include "ombrak/provider/classes.h"

namespace ombrak::frame {

std::vector<ClassEntry> library_classes() {
    return {
        entry<clsKvOmbrak10>(),
        entry<clsKvVeskMessageDigestA>(),
        entry<clsKvVeskMessageDigestB>(),
        entry<clsKvVeskEncDecMD5A>(),
        entry<clsKvVeskEncDecShaA>(),
        entry<clsKvVeskEncDecSha256A>(),
        entry<clsKvVeskEncDecA>(),
        entry<clsKvVeskEncDecGlimA>(),
        entry<clsKvVeskEncDecTeaA>(),
        entry<clsKvVeskEncDecBlowFishA>(),
        entry<clsKvVeskEncDecDesA>(),
        entry<clsKvVeskEncDecGostA>(),
        entry<clsKvVeskEncDec2FishA>(),
        entry<clsKvVeskEncDecSerpentA>(),
        entry<clsKvVeskEncDecRC4A>(),
        entry<clsKvVeskEncDecBase64A>(),
        entry<clsKvVeskEncDecHuffmanA>(),
        entry<clsKvVeskClassicCiphersA>(),
        entry<clsKvVeskEncDecMorseA>(),
        entry<clsKvVeskEncDecCeaserA>(),
        entry<clsKvVeskEncDecSabreA>(),
        entry<clsKvVeskEncDecSoftCktA>(),
        entry<clsKvVeskEncDecSalasanaA>(),
        entry<clsKvVeskEncDecSmokeA>(),
        entry<clsKvVeskGeneralA>(),
        entry<clsKvVeskAdvancedA>(),
        entry<clsKvVeskEncDecEbA>(),
        entry<clsKvVeskEncDecSkipjackA>(),
    };
}

}  // namespace ombrak::frame
