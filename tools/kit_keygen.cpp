// keygen: a key pair for signed updates.
#include <ostream>

#include "core/signing.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

int RunKeygen(const Args& args, std::ostream& out, std::ostream&) {
  std::string name;
  bool force = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--force") {
      force = true;
    } else if (args[i] == "--out") {
      if (i + 1 >= args.size()) throw UsageError("--out needs a file name");
      name = args[++i];
    } else {
      throw UsageError("unknown argument " + args[i]);
    }
  }
  if (name.empty()) throw UsageError("--out is needed");

  const std::string key_path = name + ".key", pub_path = name + ".pub";
  if (!force)
    for (const std::string& path : {key_path, pub_path})
      if (PathExists(path))
        throw Error(
            path +
            " exists already; give --force to replace the key pair (the old private key is then lost)");

  const PrivateKey key = GenerateSigningKey();
  const PublicKey pub = key.Public();
  WritePrivateFile(key_path, PrivateKeyPem(key), force);
  WriteFileBytes(pub_path, PublicKeyPem(pub));
  out << "wrote " << key_path << " (the private key: keep it secret and off the update server)\n"
      << "wrote " << pub_path << " (the public key, for pack --update-key)\n"
      << "fingerprint " << KeyFingerprint(pub) << "\n";
  return 0;
}

}  // namespace

extern const Command kKeygenCommand{
    "keygen", "make a key pair for signed updates",
    "Usage: launcher-kit keygen --out <name> [--force]\n\n"
    "Writes a new ECDSA P-256 key pair: <name>.key, the private key (PEM,\n"
    "PKCS #8 \"PRIVATE KEY\", readable by its owner only), and <name>.pub, the\n"
    "public key (PEM \"PUBLIC KEY\"), and prints the public key's fingerprint\n"
    "(SHA-256 of its DER form). Both files are openssl's formats. Existing\n"
    "files are never replaced without --force.\n\n"
    "Put the public key into launchers with `pack --update-key <name>.pub`.\n"
    "Keep the private key off the update server.\n",
    RunKeygen};

}  // namespace lk::kit
