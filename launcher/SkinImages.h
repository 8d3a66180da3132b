#pragma once
// The launcher's image decoder for the skin block: real pixels through WIC.
#include "core/logininfo.h"

namespace lk {

class WicImageDecoder final : public ImageDecoder {
 public:
  Picture Decode(ImageKind kind, Bytes bytes) const override;
};

}  // namespace lk
