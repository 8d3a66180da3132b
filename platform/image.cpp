#include "platform/image.h"

namespace lk {

void BlackToMagenta(Picture& picture) {
  for (std::uint32_t& p : picture.pixels)
    if ((p & 0x00FFFFFFu) == 0) p = kMagentaPixel;
}

}  // namespace lk
