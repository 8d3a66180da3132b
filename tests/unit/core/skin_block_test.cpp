#include <gtest/gtest.h>

#include <cstring>

#include "core/package.h"
#include "core/skin_items.h"
#include "platform/error.h"
#include "tests/support/skin_fixture.h"

namespace lk {
namespace {

using test::FullSkin;

// Counts the images it is given and refuses one chosen item's bytes, so the
// decoder's own error text can be followed through.
class ScriptedDecoder : public ImageDecoder {
 public:
  explicit ScriptedDecoder(std::string refuse = {}) : refuse_(std::move(refuse)) {}
  Picture Decode(ImageKind kind, Bytes bytes) const override {
    ++calls;
    if (!refuse_.empty() && bytes.size() == refuse_.size() &&
        std::memcmp(bytes.data(), refuse_.data(), bytes.size()) == 0)
      throw Error("decoder: image refused");
    return HeaderImageDecoder().Decode(kind, bytes);
  }
  mutable int calls = 0;

 private:
  std::string refuse_;
};

// Whether field `item` of `g` holds its default (empty) value.
bool IsEmpty(const TGraphicInfo& g, const SkinItem& item) {
  static const TGraphicInfo empty;
  if (item.kind == SkinItemKind::ServerListPosition)
    return g.ControlServerListPoint == TSize{} && g.ControlServerList1Point == TSize{};
  return std::visit(
      [&](auto member) {
        using T = std::remove_cvref_t<decltype(g.*member)>;
        if constexpr (std::is_same_v<T, ImageRef>)
          return !(g.*member);
        else
          return g.*member == empty.*member;
      },
      item.member);
}

bool SameField(const TGraphicInfo& a, const TGraphicInfo& b, const SkinItem& item) {
  if (item.kind == SkinItemKind::ServerListPosition)
    return a.ControlServerListPoint == b.ControlServerListPoint &&
           a.ControlServerList1Point == b.ControlServerList1Point;
  return std::visit(
      [&](auto member) {
        using T = std::remove_cvref_t<decltype(a.*member)>;
        if constexpr (std::is_same_v<T, ImageRef>)
          return (!(a.*member) && !(b.*member)) || (a.*member && b.*member && *(a.*member) == *(b.*member));
        else
          return a.*member == b.*member;
      },
      item.member);
}

TEST(SkinBlock, TableHasSixtyItemsInOrder) {
  const auto items = SkinItems();
  ASSERT_EQ(items.size(), 60u);
  for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].number, static_cast<int>(i + 1));
  EXPECT_STREQ(items[0].field, "BrandNameSwitch");
  EXPECT_STREQ(items[1].field, "SkinName");
  EXPECT_STREQ(items[46].field, "ControltitletxtFont");
  EXPECT_STREQ(items[59].field, "Control24Switch");
}

TEST(SkinBlock, WriterAndDecoderRoundTripEveryField) {
  for (std::uint8_t type : {0, 1, 2}) {
    const TGraphicInfo full = FullSkin(type);
    TGraphicInfo back;
    ScriptedDecoder decoder;
    DecodeSkinBlock(AsBytes(EncodeSkinBlock(full)), back, decoder);
    EXPECT_TRUE(SameSkin(back, full)) << int(type);
    EXPECT_EQ(decoder.calls, 15);  // 3 PNG + 12 BMP slots
    EXPECT_EQ(back.ControltitletxtFont.Size, 9.5f);
    EXPECT_EQ(back.ControltitletxtFont.FamilyName, "微软雅黑");
    EXPECT_EQ(back.ControltitletxtFont.Style, 0);
    ASSERT_TRUE(back.ControlbackImage);
    EXPECT_EQ(back.ControlbackImage->Pixels.width, 4);
    EXPECT_EQ(back.ControlbackImage->Kind, ImageKind::Png);
    ASSERT_TRUE(back.Controlbutton52Image);
    EXPECT_EQ(back.Controlbutton52Image->Kind, ImageKind::Bitmap);
    EXPECT_EQ(back.Controlbutton52Image->Pixels.width, 45);
  }
}

// Item 30 is one position: the tree's for type 1, the drop-down's for any
// other value; the other field stays (0, 0).
TEST(SkinBlock, ServerListTypeFilesItemThirty) {
  struct Case {
    std::uint8_t type;
    TSize tree, dropdown;
  };
  const Case cases[] = {
      {0, {0, 0}, {30, -300}},
      {1, {30, -300}, {0, 0}},
      {2, {0, 0}, {30, -300}},
      {255, {0, 0}, {30, -300}},
  };
  for (const Case& c : cases) {
    TGraphicInfo g;
    DecodeSkinBlock(AsBytes(EncodeSkinBlock(FullSkin(c.type))), g, HeaderImageDecoder());
    EXPECT_EQ(g.ServerListType, c.type);
    EXPECT_EQ(g.ControlServerListPoint, c.tree) << int(c.type);
    EXPECT_EQ(g.ControlServerList1Point, c.dropdown) << int(c.type);
    EXPECT_EQ(g.ControlServerListSizet, (TSize{31, -310})) << int(c.type);
  }
}

// Cutting the block anywhere before its end raises an error, and the fields
// read before the cut are set while the rest stay empty.
TEST(SkinBlock, EveryTruncationKeepsAPrefixOfFields) {
  TGraphicInfo full = FullSkin(1);
  full.Control24Switch = true;  // so the last item differs from empty
  const std::string block = EncodeSkinBlock(full);
  const auto items = SkinItems();
  std::size_t last_prefix = 0;
  for (std::size_t cut = 0; cut < block.size(); ++cut) {
    TGraphicInfo g;
    try {
      DecodeSkinBlock(AsBytes(std::string_view(block).substr(0, cut)), g, HeaderImageDecoder());
      ADD_FAILURE() << "no error at cut " << cut;
    } catch (const RangeError& e) {
      if (cut == 0) {
        EXPECT_NE(std::string(e.what()).find("第 1 项 BrandNameSwitch"), std::string::npos)
            << e.what();
      }
    }
    std::size_t prefix = 0;
    while (prefix < items.size() && SameField(g, full, items[prefix])) ++prefix;
    for (std::size_t i = prefix; i < items.size(); ++i)
      ASSERT_TRUE(IsEmpty(g, items[i])) << "cut " << cut << " item " << items[i].field;
    ASSERT_GE(prefix, last_prefix) << cut;
    last_prefix = prefix;
  }
  EXPECT_EQ(last_prefix, 59u);
}

TEST(SkinBlock, DamagedImageInTheMiddleLeavesEarlierFieldsSet) {
  TGraphicInfo full = FullSkin(1);
  // Item 12, the first bitmap, gets bytes its decoder refuses.
  const std::string bad = "BM this is no bitmap";
  auto image = std::make_shared<TImage>();
  image->Kind = ImageKind::Bitmap;
  image->Source.assign(bad.begin(), bad.end());
  full.ControCustomerHub1Image = image;
  TGraphicInfo g;
  ScriptedDecoder decoder(bad);
  try {
    DecodeSkinBlock(AsBytes(EncodeSkinBlock(full)), g, decoder);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "decoder: image refused");  // the decoder's own text
  }
  const auto items = SkinItems();
  for (const SkinItem& item : items) {
    if (item.number < 12) {
      EXPECT_TRUE(SameField(g, full, item)) << item.field;
    } else {
      EXPECT_TRUE(IsEmpty(g, item)) << item.field;
    }
  }
  // The header decoder refuses it too, with its own text.
  TGraphicInfo h;
  EXPECT_THROW(DecodeSkinBlock(AsBytes(EncodeSkinBlock(full)), h, HeaderImageDecoder()), Error);
  EXPECT_TRUE(h.ControLoing2Image);
  EXPECT_FALSE(h.ControCustomerHub1Image);
}

TEST(SkinBlock, ZeroLengthImageIsNoImageAndNegativeLengthIsAnError) {
  TGraphicInfo full = FullSkin(1);
  full.ControlbackImage = nullptr;
  std::string block = EncodeSkinBlock(full);
  TGraphicInfo g;
  ScriptedDecoder decoder;
  DecodeSkinBlock(AsBytes(block), g, decoder);
  EXPECT_FALSE(g.ControlbackImage);
  EXPECT_EQ(decoder.calls, 14);

  // Item 4's length sits after items 1-3: 1 + (1 + n) + 8 bytes.
  const std::size_t at = 1 + 1 + Utf8ToGbk(full.SkinName).size() + 8;
  block.replace(at, 4, std::string("\xFF\xFF\xFF\xFF", 4));
  TGraphicInfo n;
  try {
    DecodeSkinBlock(AsBytes(block), n, HeaderImageDecoder());
    FAIL();
  } catch (const RangeError& e) {
    EXPECT_NE(std::string(e.what()).find("-1 为负数"), std::string::npos) << e.what();
  }
  EXPECT_EQ(n.ControlbackSizet, (TSize{3, -30}));
}

TEST(SkinBlock, ExtraBytesAfterItemSixtyChangeNothing) {
  const TGraphicInfo full = FullSkin(0);
  for (const std::string& extra : {std::string(1, '\x01'), std::string(4096, '\xFF')}) {
    TGraphicInfo g;
    DecodeSkinBlock(AsBytes(EncodeSkinBlock(full) + extra), g, HeaderImageDecoder());
    EXPECT_TRUE(SameSkin(g, full));
  }
}

TEST(SkinBlock, SwitchByteOtherThanOneIsOnAndSystemColourIsKept) {
  TGraphicInfo full = FullSkin(1);
  full.ControltitletxtColor = 0xFF000008;  // system colour 8 (window text)
  std::string block = EncodeSkinBlock(full);
  block[0] = '\x7F';  // item 1, BrandNameSwitch
  TGraphicInfo g;
  DecodeSkinBlock(AsBytes(block), g, HeaderImageDecoder());
  EXPECT_TRUE(g.BrandNameSwitch);
  EXPECT_EQ(g.ControltitletxtColor, 0xFF000008u);
  EXPECT_TRUE(IsSystemColour(g.ControltitletxtColor));
  EXPECT_EQ(g.ControltitletxtColor & 0xFF, 8u);
}

std::string FontBytes(const std::u16string& name, float size, std::size_t extra) {
  std::string b;
  test::PutLe32(b, static_cast<std::uint32_t>(name.size() * 2));
  for (char16_t c : name) test::PutLe16(b, c);
  test::PutLe32(b, std::bit_cast<std::uint32_t>(size));
  b.append(extra, '\x55');
  return b;
}

TEST(FontInfo, ReadsNameAndSizeOnly) {
  struct Case {
    std::string bytes;
    std::string name;
    float size;
  };
  const Case cases[] = {
      {FontBytes(u"宋体", 9.5f, 0), "宋体", 9.5f},  // exactly 8 + m
      {FontBytes(u"宋体", 9.5f, 4), "宋体", 9.5f},  // the usual 4 further bytes
      {FontBytes(u"Tahoma", 12.0f, 100), "Tahoma", 12.0f},
      {FontBytes(u"", 0.0f, 0), "", 0.0f},
  };
  for (const Case& c : cases) {
    TFontInfo f;
    f.Style = fsBold;
    ReadFontInfo(AsBytes(c.bytes), f);
    EXPECT_EQ(f.FamilyName, c.name);
    EXPECT_EQ(f.Size, c.size);
    EXPECT_EQ(f.Style, fsBold);  // not in the description, so not touched
  }
}

TEST(FontInfo, ShortDescriptionRaises) {
  const std::string full = FontBytes(u"宋体", 9.5f, 0);  // 12 bytes
  for (std::size_t keep : {0u, 3u, 4u, 7u, 8u, 11u}) {
    TFontInfo f;
    EXPECT_THROW(ReadFontInfo(AsBytes(full.substr(0, keep)), f), RangeError) << keep;
  }
  std::string negative = full;
  negative.replace(0, 4, std::string("\x00\x00\x00\x80", 4));
  TFontInfo f;
  EXPECT_THROW(ReadFontInfo(AsBytes(negative), f), RangeError);
}

// In the skin, the font is read into a fresh record and the position moves
// on by the description's length, whatever ReadFontInfo used.
TEST(SkinBlock, FontLengthDecidesWhereTheNextItemStarts) {
  TGraphicInfo full = FullSkin(1);
  std::string block = EncodeSkinBlock(full);
  const std::string font = EncodeFontInfo(full.ControltitletxtFont);
  const std::size_t at = block.find(font);
  ASSERT_NE(at, std::string::npos);
  // Grow the description by 6 further bytes and its length by 6.
  std::string grown = block.substr(0, at - 4);
  test::PutLe32(grown, static_cast<std::uint32_t>(font.size() + 6));
  grown += font + "XXXXXX" + block.substr(at + font.size());
  TGraphicInfo g;
  DecodeSkinBlock(AsBytes(grown), g, HeaderImageDecoder());
  EXPECT_TRUE(SameSkin(g, full));
}

TEST(HeaderImageDecoder, RefusesWhatIsNoImage) {
  const HeaderImageDecoder d;
  const std::string png = test::SolidPng(5, 7, 0xFF000000u), bmp = test::SolidBmp(6, 2, 0);
  EXPECT_EQ(d.Decode(ImageKind::Png, AsBytes(png)).height, 7);
  EXPECT_TRUE(d.Decode(ImageKind::Png, AsBytes(png)).transparent);
  EXPECT_EQ(d.Decode(ImageKind::Bitmap, AsBytes(bmp)).width, 6);
  EXPECT_FALSE(d.Decode(ImageKind::Bitmap, AsBytes(bmp)).transparent);
  const std::pair<ImageKind, std::string> bad[] = {
      {ImageKind::Png, bmp},
      {ImageKind::Bitmap, png},
      {ImageKind::Png, png.substr(0, 20)},
      {ImageKind::Bitmap, bmp.substr(0, 20)},
      {ImageKind::Png, "x"},
      {ImageKind::Bitmap, "BM"},
  };
  for (const auto& [kind, bytes] : bad) EXPECT_THROW(d.Decode(kind, AsBytes(bytes)), Error);
}

}  // namespace
}  // namespace lk
