#pragma once
// Writing a file that holds a secret (a private key), by UTF-8 path.
#include <string>
#include <string_view>

namespace lk {

// Writes `bytes` to a new file only its owner may read and write (mode 0600
// on the host; on Windows the file takes the folder's permissions). Without
// `replace` an existing file is never touched: creating fails instead, also
// when the file appears between a check and the call. With `replace` the
// file is written under a temporary name and then renamed over the old one,
// so a failure leaves the old file whole. Throws Error (the path, then the
// system's reason).
void WritePrivateFile(const std::string& path, std::string_view bytes, bool replace);

}  // namespace lk
