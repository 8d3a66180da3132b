// The brand block and the package layout are outside bytes: decoding must
// end in a record or one of our errors, never read outside the data.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/logininfo.h"
#include "core/package.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so ASan sees any read past the end.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const lk::Bytes input(bytes.data(), bytes.size());
  lk::TLoginInfo info;
  try {
    lk::DecodeBrandBlock(input, info);
  } catch (const lk::Error&) {
  }
  // The same bytes as a whole launcher file.
  lk::TLoginInfo login;
  lk::TGraphicInfo graphic;
  const auto result = lk::DecodeLauncherPackage(input, login, graphic, lk::HeaderImageDecoder());
  if (result.outcome != lk::StartupPackageResult::Outcome::Decoded && result.message.empty()) std::abort();
  return 0;
}
