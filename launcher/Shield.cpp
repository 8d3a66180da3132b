#include "launcher/Shield.h"

#include <exception>

#include "core/ini_text.h"
#include "platform/ansi_text.h"
#include "platform/files.h"
#include "platform/library.h"

namespace lk {
namespace {

// The second argument of GameshieldManager_Start: an empty text.
constexpr char kNoText[4] = {0, 0, 0, 0};

struct Vendor {
  const char* entryPoint;
  const char* loadFailed;
  const char* entryMissing;
};

constexpr Vendor kVendors[3] = {
    {"clinkStart", "无法加载德讯云盾SDK DLL", "无法找到clinkStart函数"},
    {"igamesdkStart", "无法加载德讯云加速SDK DLL", "无法找到igamesdkStart函数"},
    {"GameshieldManager_Start", "无法加载千鸟SDK DLL", "无法找到GameshieldManager_Start函数"},
};

std::string ReadShieldKey(const std::string& path) {
  return ReadIniText(SettingsTextToUtf8(ReadWholeFile(path)), "Res", "Keys", "Default");
}

// Calls the vendor's entry point; true when the shield reports itself started.
bool CallVendor(std::int32_t vendor, void* entry, const std::string& ansiKey,
                const ShieldMessageFn& showMessage) {
  switch (vendor) {
    case 1: {
      const std::int32_t result = reinterpret_cast<TclinkStartFunc>(entry)(ansiKey.c_str());
      if (result == 150) return true;
      showMessage("游戏盾启动失败，错误代码: " + std::to_string(result));
      return false;
    }
    case 2: {
      const std::int32_t result = reinterpret_cast<TigamesdkStartFunc>(entry)(ansiKey.c_str());
      if (result >= 200 && result <= 299) return true;
      showMessage("游戏服务启动失败，错误代码: " + std::to_string(result));
      return false;
    }
    default:
      reinterpret_cast<TGameshieldManagerStartFunc>(entry)(ansiKey.c_str(), kNoText);
      return true;
  }
}

}  // namespace

TShieldStart OpenShield(const std::string& launcherFolder, std::int32_t CloudShieldSwitch,
                        const ShieldMessageFn& showMessage) {
  TShieldStart state;
  if (CloudShieldSwitch <= 0) return state;

  const std::string settingsPath = launcherFolder + "Shield.rc";
  const std::string libraryPath = launcherFolder + "clinkAPI.dll";
  if (!IsRegularFile(settingsPath)) {
    showMessage(settingsPath + "不存在");
    return state;
  }
  if (!IsRegularFile(libraryPath)) {
    showMessage(libraryPath + "不存在");
    return state;
  }
  // Not caught: a settings file that cannot be read is the window's error.
  const std::string ShieldKey = ReadShieldKey(settingsPath);
  if (CloudShieldSwitch > 3) return state;

  const Vendor& vendor = kVendors[CloudShieldSwitch - 1];
  try {
    LibraryHandle library = LoadLibraryByFullPath(libraryPath);
    state.hModule = reinterpret_cast<std::uintptr_t>(library);
    if (!library) {
      showMessage(vendor.loadFailed);
      return state;
    }
    void* entry = LibraryFunction(library, vendor.entryPoint);
    if (!entry) {
      // Never call into a library that lacks the vendor's entry point.
      showMessage(vendor.entryMissing);
      UnloadLibrary(library);
      return state;
    }
    // The converted key lives until the call has returned.
    const std::string ansiKey = Utf8ToAnsi(ShieldKey);
    state.Started = CallVendor(CloudShieldSwitch, entry, ansiKey, showMessage);
  } catch (const std::exception& e) {
    showMessage(std::string("错误: ") + e.what());
  }
  return state;
}

}  // namespace lk
