#pragma once
#include <string>

namespace lk {

// Ends every running process whose executable file name equals `name`
// (letters A-Z without regard to case, every other character exactly) and
// whose executable lies in `folder` (compared in long-path form without
// regard to case), waiting up to 5 s for each. A process whose path cannot
// be read is ended on its name alone, so the launcher being replaced can
// never survive; copies of the same file name in other folders, such as
// another brand's launcher, keep running. Returns how many were ended.
int KillProcessByName(const std::string& name, const std::string& folder);

// The folder of a path, without its trailing separator, in long-path form.
std::wstring LongFolderOf(const std::wstring& path);

}  // namespace lk
