#pragma once
// Starting the network shield of the vendor that the configuration names.
// The vendor's library is always clinkAPI.dll in the launcher folder, fed
// with the key from Shield.rc beside it; only the entry point, its calling
// convention and the reading of its result differ by vendor.
#include <cstdint>
#include <functional>
#include <string>

namespace lk {

// Shows one message to the player (the window's message dialog).
using ShieldMessageFn = std::function<void(const std::string&)>;

// Vendor entry points. The conventions differ on 32-bit Windows: cdecl
// leaves the argument for the caller to remove, stdcall removes it itself.
using TclinkStartFunc = std::int32_t(__cdecl*)(const char* key);
using TigamesdkStartFunc = std::int32_t(__stdcall*)(const char* key);
// Its result is not read.
using TGameshieldManagerStartFunc = void(__stdcall*)(const char* key, const void* reserved);

struct TShieldStart {
  // A shield has started: the window shows Label9 exactly then.
  bool Started = false;
  // The last library handle obtained (kept also when the library was unloaded
  // again for a missing entry point); 0 when nothing was loaded. A started
  // library stays loaded until the process ends.
  std::uintptr_t hModule = 0;
};

// Starts the shield for CloudShieldSwitch 1 (德讯云盾, clinkStart, started on
// 150), 2 (德讯云加速, igamesdkStart, started on 200..299) or 3 (千鸟,
// GameshieldManager_Start, started once it returns). At 0 or below nothing
// is looked at; at 4 and above the files are checked and Shield.rc is read,
// nothing is loaded. Every failure is one message through showMessage and a
// result with Started false; none is thrown, except that an error opening or
// reading Shield.rc itself propagates. launcherFolder ends in a separator.
TShieldStart OpenShield(const std::string& launcherFolder, std::int32_t CloudShieldSwitch,
                        const ShieldMessageFn& showMessage);

}  // namespace lk
