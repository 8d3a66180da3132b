#include "launcher/SkinImages.h"

#include "platform/error.h"
#include "platform/image.h"

namespace lk {

Picture WicImageDecoder::Decode(ImageKind kind, Bytes bytes) const {
  std::optional<Picture> p = kind == ImageKind::Png ? PngFromBytes(bytes) : BitmapFromBytes(bytes);
  // The skin parser never hands over zero bytes; an empty result would
  // mean a decoder that lost its image.
  if (!p) throw Error("图像数据为空");
  return std::move(*p);
}

}  // namespace lk
