// inspect: print (or extract) the brand and skin a launcher exe carries.
#include <cstdio>
#include <ostream>

#include "core/package.h"
#include "core/signing.h"
#include "platform/error.h"
#include "tools/launcher_kit.h"
#include "tools/skin_source.h"

namespace lk::kit {
namespace {

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
  std::string s;
  char buf[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    s += buf;
  }
  return s;
}

std::string Describe(const SkinItem&, const TImage& image) {
  return std::string(image.Kind == ImageKind::Png ? "PNG " : "BMP ") + std::to_string(image.Pixels.width) +
         "x" + std::to_string(image.Pixels.height) + ", " + std::to_string(image.Source.size()) + " bytes";
}

int RunInspect(const Args& args, std::ostream& out, std::ostream&) {
  std::string exe_path, extract;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--extract") {
      if (i + 1 >= args.size()) throw UsageError("--extract needs a folder");
      extract = args[++i];
    } else if (exe_path.empty()) {
      exe_path = args[i];
    } else {
      throw UsageError("unexpected argument " + args[i]);
    }
  }
  if (exe_path.empty()) throw UsageError("expects the launcher exe");

  const std::string exe = ReadFileBytes(exe_path);
  TLoginInfo login;
  TGraphicInfo skin;
  PackageLayout layout;
  try {
    layout = LocatePackage(AsBytes(exe));
    DecodeBrandBlock(layout.brand, login);
    DecodeSkinBlock(layout.skin, skin, HeaderImageDecoder());
  } catch (const std::exception& e) {
    throw Error(exe_path + ": damaged launcher package: " + e.what());
  }

  if (!extract.empty()) {
    WriteSkinSource(skin, extract);
    out << "skin written to " << extract << "\n";
  }
  std::optional<PublicKey> key;
  if (layout.update_key) {
    try {
      key = PublicKeyFromDer(*layout.update_key);
    } catch (const std::exception& e) {
      throw Error(exe_path + ": damaged launcher package: the update key: " + e.what());
    }
  }

  out << "launcher package at offset " << layout.offset << ": brand block " << layout.brand.size()
      << " bytes, skin block " << layout.skin.size() << " bytes, "
      << (layout.update_key ? "update key block " + std::to_string(layout.update_key->size()) + " bytes, "
                            : "")
      << layout.further << " bytes of further data\n"
      << "update key: " << (key ? KeyFingerprint(*key) + " (SHA-256 of the public key's DER)" : "none")
      << "\n\n[brand]\n"
      << "BrandName = " << login.BrandName << "\n"
      << "BrandAuthorization = " << login.BrandAuthorization << "\n"
      << "IsDh = " << int(login.IsDh) << "\n"
      << "Key = " << Hex(login.Key) << "\n"
      << "Iv = " << Hex(login.Iv) << "\n\n[skin]\n"
      << SkinSourceText(skin, Describe);
  return 0;
}

}  // namespace

extern const Command kInspectCommand{
    "inspect", "show the brand and skin a launcher exe carries",
    "Usage: launcher-kit inspect <launcher.exe> [--extract <folder>]\n\n"
    "Decodes the launcher package at the end of the exe and prints the brand\n"
    "and the skin as skin.txt would hold them (images as kind, size and byte\n"
    "count), and the fingerprint of the update key when the package carries\n"
    "one (as keygen prints it). With --extract, also writes skin.txt and the\n"
    "images into the existing <folder>, so that `pack` can make the same skin\n"
    "again.\n"
    "A damaged package is an error (exit code 1) naming what is wrong.\n",
    RunInspect};

}  // namespace lk::kit
