#pragma once
// The state start-up fills once and every window part reads afterwards,
// and the start-up steps that are worth testing on their own.
#include <cstdint>
#include <string>
#include <vector>

#include "core/logininfo.h"
#include "platform/self_path.h"

namespace lk {

// The whole launcher file as read at start-up; released once the package is
// decoded.
extern std::vector<std::uint8_t> ExeImage;
// The brand record and the skin record, filled from the package.
extern TLoginInfo LoginInfo;
extern TGraphicInfo GraphicInfo;
// The public key of signed updates, from the package's key block.
extern TUpdateKey UpdateKey;


// Reads the whole file in one piece, opened for reading only and without
// denying others reading or writing it (an updater may be replacing it).
// Throws Error with the path and the system's reason.
std::vector<std::uint8_t> ReadLauncherFile(const std::string& path);

// The application's title, which captions every message dialog: the
// executable's file name without its extension.
std::string ApplicationTitle();

// The application's standard modal message box: the text and an OK button.
void ShowMessageDialog(const std::string& text);

}  // namespace lk
