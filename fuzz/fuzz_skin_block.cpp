// The skin block: 60 items of lengths and images from outside. Decoding must
// end in a record or one of our errors; a block that decodes must encode
// and decode again to the same record.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/logininfo.h"
#include "core/package.h"
#include "core/skin_items.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  lk::TGraphicInfo info;
  const lk::HeaderImageDecoder images;
  try {
    lk::DecodeSkinBlock(lk::Bytes(bytes.data(), bytes.size()), info, images);
  } catch (const lk::Error&) {
    return 0;
  }
  std::string again;
  try {
    again = lk::EncodeSkinBlock(info);
  } catch (const lk::Error&) {
    // A decoded text the writer refuses (a replacement character has no
    // code page 936 form) is fine: the writer must not guess.
    return 0;
  }
  lk::TGraphicInfo back;
  lk::DecodeSkinBlock(lk::AsBytes(again), back, images);
  // NaN font sizes never compare equal; compare their bits instead.
  if (back.ControltitletxtFont.Size != info.ControltitletxtFont.Size) {
    back.ControltitletxtFont.Size = info.ControltitletxtFont.Size = 0;
  }
  if (!lk::SameSkin(back, info)) std::abort();
  return 0;
}
