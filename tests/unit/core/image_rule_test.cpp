#include <gtest/gtest.h>

#include "platform/image.h"

namespace lk {
namespace {

TEST(BlackToMagenta, OnlyExactBlackChangesWhateverItsAlpha) {
  Picture p;
  p.width = 6;
  p.height = 1;
  p.pixels = {0x00000000u, 0xFF000000u, 0x80000000u, 0xFF010000u, 0xFF000001u, 0xFFFF00FFu};
  BlackToMagenta(p);
  EXPECT_EQ(p.pixels, (std::vector<std::uint32_t>{kMagentaPixel, kMagentaPixel, kMagentaPixel, 0xFF010000u,
                                                  0xFF000001u, 0xFFFF00FFu}));
}

}  // namespace
}  // namespace lk
