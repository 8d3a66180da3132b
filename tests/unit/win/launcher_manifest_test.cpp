// The launcher's application manifest, read back from the built exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

TEST(LauncherManifest, DeclaresDpiAwarenessCommonControlsAndAsInvoker) {
  UniqueModule exe(LoadLibraryExW(Wide(LK_LAUNCHER_EXE).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(exe) << LK_LAUNCHER_EXE;
  // CREATEPROCESS_MANIFEST_RESOURCE_ID in RT_MANIFEST.
  HRSRC res = FindResourceW(exe.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_TRUE(res);
  HGLOBAL data = LoadResource(exe.get(), res);
  ASSERT_TRUE(data);
  const std::string manifest(static_cast<const char*>(LockResource(data)), SizeofResource(exe.get(), res));
  for (const char* needle : {"PerMonitorV2", "true/pm", "Microsoft.Windows.Common-Controls",
                             "version=\"6.0.0.0\"", "level=\"asInvoker\""})
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

}  // namespace
}  // namespace lk
