// PNG and BMP decoding through the real WIC (under Wine in CI), and the
// skin block decoded with it.
#include <gtest/gtest.h>

#include "core/package.h"
#include "launcher/SkinImages.h"
#include "platform/error.h"
#include "platform/image.h"
#include "tests/support/image_files.h"
#include "tests/support/skin_fixture.h"

namespace lk {
namespace {

using test::MakeBmp;
using test::MakePng;

TEST(PngFromBytes, KeepsTheAlphaChannel) {
  const std::vector<std::uint32_t> argb = {0xFFFF0000u, 0x8000FF00u, 0x000000FFu,
                                           0x40102030u, 0xFF000000u, 0x00000000u};
  const std::string png = MakePng(3, 2, argb);
  const std::optional<Picture> p = PngFromBytes(AsBytes(png));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 3);
  EXPECT_EQ(p->height, 2);
  EXPECT_TRUE(p->transparent);
  EXPECT_EQ(p->pixels, argb);  // straight alpha, top row first, black stays black
}

TEST(PngFromBytes, NoBytesNoImage) {
  EXPECT_FALSE(PngFromBytes({}));
  EXPECT_FALSE(BitmapFromBytes({}));
}

TEST(PngFromBytes, DamagedOrWrongKindRaisesTheDecodersError) {
  const std::string png = test::SolidPng(4, 4, 0xFF123456u);
  std::string flipped = png;
  flipped[1] = 'X';  // signature
  const std::string cases[] = {
      flipped,
      png.substr(0, 40),                 // cut inside the image data
      test::SolidBmp(4, 4, 0x00FFFFFF),  // a bitmap in a PNG slot
      std::string(100, '\0'),
  };
  for (const std::string& bytes : cases) {
    try {
      PngFromBytes(AsBytes(bytes));
      ADD_FAILURE() << "decoded damaged bytes of size " << bytes.size();
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("PNG 图像无法解码: ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find("(0x"), std::string::npos) << e.what();
    }
  }
}

TEST(BitmapFromBytes, BlackBecomesMagentaAndNothingElseChanges) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> in, out;
  };
  const std::uint32_t M = kMagentaPixel;
  const Case cases[] = {
      {"all black", {0, 0, 0, 0, 0, 0}, {M, M, M, M, M, M}},
      {"almost black stays",
       {0x010000, 0x000100, 0x000001, 0x010101, 0x010000, 0x000001},
       {0xFF010000, 0xFF000100, 0xFF000001, 0xFF010101, 0xFF010000, 0xFF000001}},
      {"mixed, rows in order",
       {0, 0xFFFFFF, 0x123456, 0x000000, 0xFF00FF, 0},
       {M, 0xFFFFFFFF, 0xFF123456, M, M, M}},
  };
  for (const Case& c : cases) {
    const std::optional<Picture> p = BitmapFromBytes(AsBytes(MakeBmp(3, 2, c.in)));
    ASSERT_TRUE(p) << c.what;
    EXPECT_EQ(p->width, 3);
    EXPECT_EQ(p->height, 2);
    EXPECT_FALSE(p->transparent);
    EXPECT_EQ(p->pixels, c.out) << c.what;
  }
}

TEST(BitmapFromBytes, DamagedOrWrongKindRaises) {
  const std::string bmp = test::SolidBmp(5, 5, 0x00808080);
  const std::string cases[] = {
      "BM",
      bmp.substr(0, 30),
      test::SolidPng(2, 2, 0xFFFFFFFFu),
  };
  for (const std::string& bytes : cases) {
    try {
      BitmapFromBytes(AsBytes(bytes));
      ADD_FAILURE() << "decoded damaged bytes of size " << bytes.size();
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("BMP 图像无法解码: ", 0), 0u) << e.what();
    }
  }
}

TEST(WicImageDecoder, DecodesAWholeSkinWithPixels) {
  TGraphicInfo full = test::FullSkin(1);
  TGraphicInfo g;
  DecodeSkinBlock(AsBytes(EncodeSkinBlock(full)), g, WicImageDecoder());
  ASSERT_TRUE(g.ControlbackImage);
  EXPECT_EQ(g.ControlbackImage->Pixels.pixels,
            std::vector<std::uint32_t>(8, 0x80FF0000u));  // 4x2, half transparent red
  ASSERT_TRUE(g.Controlbutton41Image);
  EXPECT_EQ(g.Controlbutton41Image->Pixels.pixels.size(), 41u * 3);
  EXPECT_EQ(g.Controlbutton41Image->Pixels.pixels[0], 0xFF336699u);
  EXPECT_EQ(g.Controlbutton41Image->Source, full.Controlbutton41Image->Source);

  // A damaged PNG in the middle: earlier fields set, later ones empty, and
  // the message is the decoder's.
  auto bad = std::make_shared<TImage>();
  bad->Kind = ImageKind::Png;
  const std::string junk = test::SolidPng(3, 3, 0).substr(0, 45);
  bad->Source.assign(junk.begin(), junk.end());
  full.ControLoing2Image = bad;  // item 8
  TGraphicInfo h;
  try {
    DecodeSkinBlock(AsBytes(EncodeSkinBlock(full)), h, WicImageDecoder());
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("PNG 图像无法解码: ", 0), 0u) << e.what();
  }
  EXPECT_TRUE(h.ControLoing1Image);
  EXPECT_FALSE(h.ControLoing2Image);
  EXPECT_FALSE(h.ControlCustomerHubSwitch);
  EXPECT_EQ(h.ControlCustomerHubPoint, TSize{});
}

}  // namespace
}  // namespace lk
