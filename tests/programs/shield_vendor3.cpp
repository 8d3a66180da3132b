// Test shield library of the third vendor: GameshieldManager_Start, standard
// call, two pointers; it records whether the second one is an empty text.
#include "shield_vendor_common.h"

extern "C" __declspec(dllexport) int __stdcall GameshieldManager_Start(const char* key, const void* second) {
  shield_test::Record(key);
  const char* bytes = static_cast<const char*>(second);
  shield_test::g_secondArgumentEmpty =
      bytes && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0 ? 1 : 0;
  return shield_test::ResultChosenByTest();
}
