#include "tools/launcher_kit.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace lk::kit {

// Each command is defined in its own kit_<name>.cpp.
extern const Command kEncodeCommand;
extern const Command kDecodeCommand;
extern const Command kInfCommand;
extern const Command kPackCommand;
extern const Command kInspectCommand;
extern const Command kPublishCommand;
extern const Command kKeygenCommand;

namespace {

const Command* const kCommands[] = {
    &kPackCommand,   &kInspectCommand, &kInfCommand,    &kPublishCommand,
    &kKeygenCommand, &kEncodeCommand,  &kDecodeCommand,
};

void PrintOverview(std::ostream& out) {
  out << "launcher-kit: makes branded launchers, .inf files and update sites.\n\n"
         "Usage: launcher-kit <command> [arguments]\n"
         "       launcher-kit help <command>\n\nCommands:\n";
  for (const Command* c : kCommands) {
    std::string name = c->name;
    name.resize(10, ' ');
    out << "  " << name << c->summary << "\n";
  }
}

const Command* Find(const std::string& name) {
  for (const Command* c : kCommands)
    if (name == c->name) return c;
  return nullptr;
}

}  // namespace

std::filesystem::path ToFs(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(Wide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string FromFs(const std::filesystem::path& path) {
#ifdef _WIN32
  return Narrow(path.wstring());
#else
  return path.string();
#endif
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(ToFs(path), std::ios::binary);
  if (!f) throw Error("cannot open " + path);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (f.bad()) throw Error("cannot read " + path);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  // Under a temporary name, then renamed: a failed or killed write never
  // leaves a half-written launcher or skin file where a good one was.
  try {
    WriteFileAtomically(path, bytes);
  } catch (const Error& e) {
    throw Error("cannot write " + path + ": " + e.what());
  }
}

int RunLauncherKit(const Args& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    if (args.size() >= 2) {
      if (const Command* c = Find(args[1])) {
        out << c->usage;
        return 0;
      }
      err << "launcher-kit: unknown command '" << args[1] << "'\n";
      return 2;
    }
    PrintOverview(args.empty() ? err : out);
    return args.empty() ? 2 : 0;
  }
  const Command* c = Find(args[0]);
  if (!c) {
    err << "launcher-kit: unknown command '" << args[0] << "'\n\n";
    PrintOverview(err);
    return 2;
  }
  const Args rest(args.begin() + 1, args.end());
  if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
    out << c->usage;
    return 0;
  }
  try {
    return c->run(rest, out, err);
  } catch (const UsageError& e) {
    err << "launcher-kit " << c->name << ": " << e.what() << "\n\n" << c->usage;
    return 2;
  } catch (const std::exception& e) {
    err << "launcher-kit " << c->name << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace lk::kit
