// Test shield library of the first vendor: clinkStart, C calling convention.
#include "shield_vendor_common.h"

extern "C" __declspec(dllexport) int __cdecl clinkStart(const char* key) {
  shield_test::Record(key);
  return shield_test::ResultChosenByTest();
}
