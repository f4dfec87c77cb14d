// Shared kernel helpers.
#include "ombrak/ciphers/block.h"

#include <string.h>

namespace ombrak::ciphers {

void wipe(void* p, std::size_t n) noexcept {
    if (n) explicit_bzero(p, n);  // not optimised away, unlike a plain memset before free
}

}  // namespace ombrak::ciphers
