// Signs and verifies files with the platform's cryptography, for the tests
// that check our signatures against the openssl command and across the
// host and Windows:
//   signature_tool sign <private key file> <file> <signature file>
//   signature_tool verify <public key file> <file> <signature file>
//   signature_tool fingerprint <public key file>
// Exit code 0: done / valid; 1: not valid; 2: an error (message on stderr).
#include <iostream>
#include <string>
#include <vector>

#include "core/signing.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int Run(const std::vector<std::string>& args) {
  using lk::kit::ReadFileBytes;
  try {
    if (args.size() == 4 && args[0] == "sign") {
      const lk::PrivateKey key = lk::ReadPrivateKeyFile(ReadFileBytes(args[1]));
      lk::kit::WriteFileBytes(args[3], lk::SignDetached(key, lk::AsBytes(ReadFileBytes(args[2]))));
      return 0;
    }
    if (args.size() == 4 && args[0] == "verify") {
      const lk::PublicKey key = lk::ReadPublicKeyFile(ReadFileBytes(args[1]));
      const std::string message = ReadFileBytes(args[2]), signature = ReadFileBytes(args[3]);
      const bool valid = lk::VerifyDetachedSignature(key, lk::AsBytes(message), lk::AsBytes(signature));
      std::cout << (valid ? "valid" : "invalid") << "\n";
      return valid ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == "fingerprint") {
      std::cout << lk::KeyFingerprint(lk::ReadPublicKeyFile(ReadFileBytes(args[1]))) << "\n";
      return 0;
    }
  } catch (const std::exception& e) {
    std::cerr << "signature_tool: " << e.what() << "\n";
    return 2;
  }
  std::cerr
      << "usage: signature_tool sign <key> <file> <sig> | verify <pub> <file> <sig> | fingerprint <pub>\n";
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(lk::Narrow(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
