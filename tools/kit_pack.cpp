// pack: brand and skin onto a copy of a launcher exe.
#include <ostream>

#include "core/package.h"
#include "core/signing.h"
#include "platform/error.h"
#include "tools/launcher_kit.h"
#include "tools/skin_source.h"

namespace lk::kit {
namespace {

int RunPack(const Args& args, std::ostream& out, std::ostream&) {
  std::string launcher, output, skin_folder;
  std::optional<std::string> brand, token, update_key;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) throw UsageError("option " + a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--launcher")
      launcher = v;
    else if (a == "--out")
      output = v;
    else if (a == "--brand")
      brand = v;
    else if (a == "--token")
      token = v;
    else if (a == "--skin")
      skin_folder = v;
    else if (a == "--update-key")
      update_key = v;
    else
      throw UsageError("unknown option " + a);
  }
  if (launcher.empty() || output.empty() || !brand || !token || skin_folder.empty())
    throw UsageError("--launcher, --out, --brand, --token and --skin are all needed");
  if (!IsValidUtf8(*brand) || !IsValidUtf8(*token))
    throw UsageError("the brand name and the token must be UTF-8");

  TLoginInfo login;
  login.BrandName = *brand;
  login.BrandAuthorization = *token;
  const std::string brand_block = EncodeBrandBlock(login);
  const TGraphicInfo skin = ReadSkinSource(skin_folder);
  const std::string skin_block = EncodeSkinBlock(skin);

  const std::string exe = ReadFileBytes(launcher);
  const std::string_view program = ProgramPart(exe);
  const bool replaced = program.size() != exe.size();

  // The key: the one named, none, or the one the old package carries.
  std::optional<PublicKey> key;
  bool kept = false;
  if (update_key && *update_key != "none") {
    try {
      key = ReadPublicKeyFile(ReadFileBytes(*update_key));
    } catch (const Error& e) {
      throw Error(*update_key + ": " + e.what());
    }
  } else if (!update_key && replaced) {
    if (const std::optional<Bytes> old = LocatePackage(AsBytes(exe)).update_key) {
      try {
        key = PublicKeyFromDer(*old);
      } catch (const Error& e) {
        throw Error(launcher + ": the update key of its package is damaged (" + e.what() +
                    "); give --update-key <file> or --update-key none");
      }
      kept = true;
    }
  }
  const std::string key_block = key ? PublicKeyDer(*key) : std::string();

  WriteFileBytes(output, AppendPackage(program, brand_block, skin_block, key_block));
  out << "packed " << output << ": brand " << brand_block.size() << " bytes, skin " << skin_block.size()
      << " bytes at offset " << program.size()
      << (replaced ? " (the launcher's old package was replaced)" : "") << "\n";
  if (key)
    out << "update key " << KeyFingerprint(*key) << (kept ? " (kept from the launcher's old package)" : "")
        << "\n";
  else
    out << "no update key\n";
  return 0;
}

}  // namespace

extern const Command kPackCommand{
    "pack", "put a brand and a skin onto a copy of a launcher exe",
    "Usage: launcher-kit pack --launcher <launcher.exe> --out <branded.exe>\n"
    "                         --brand <name> --token <launch token> --skin <folder>\n"
    "                         [--update-key <public key file> | --update-key none]\n\n"
    "Writes <branded.exe>: the launcher with a package of the brand name, the\n"
    "launch token and the skin from <folder> appended. A package the launcher\n"
    "already carries is replaced, not stacked.\n\n"
    "--update-key stores the public key of signed updates (a .pub file made by\n"
    "`keygen`, or any P-256 \"PUBLIC KEY\" file openssl writes). Without the\n"
    "option a key the launcher's old package carries is kept; `none` leaves\n"
    "the key out.\n\n"
    "The brand name and the token are written in code page 936 and may each be\n"
    "at most 255 bytes there. The skin folder holds skin.txt and the images it\n"
    "names; see the README for its keys and values.\n",
    RunPack};

}  // namespace lk::kit
