// Test shield library of the second vendor: igamesdkStart, standard call.
#include "shield_vendor_common.h"

extern "C" __declspec(dllexport) int __stdcall igamesdkStart(const char* key) {
  shield_test::Record(key);
  return shield_test::ResultChosenByTest();
}
