#include "launcher/InfFileHelper.h"

#include <algorithm>

#include "core/ascii_case.h"
#include "core/number_rules.h"
#include "platform/error.h"

namespace lk {

TInfFileHelper::TInfFileHelper(const std::string& AFileName)
    : FIniFile(std::make_unique<ProfileFile>(AFileName)), FFileName(AFileName) {}

TInfFileHelper::~TInfFileHelper() {
  if (FIniFile) FIniFile->UpdateFile();
  FIniFile.reset();
}

void TInfFileHelper::ThrowUnableToWrite() const { throw Error("Unable to write to " + FFileName); }

std::string TInfFileHelper::ReadString(const std::string& ASection, const std::string& AKey,
                                       const std::string& ADefault) const {
  return FIniFile->ReadString(ASection, AKey, ADefault);
}

void TInfFileHelper::WriteString(const std::string& ASection, const std::string& AKey,
                                 const std::string& AValue) {
  if (!FIniFile->WriteString(ASection, AKey, AValue)) ThrowUnableToWrite();
}

std::int32_t TInfFileHelper::ReadInteger(const std::string& ASection, const std::string& AKey,
                                         std::int32_t ADefault) const {
  const std::string text = ReadString(ASection, AKey, "");
  return TryParseSignedInt32(text).value_or(ADefault);
}

void TInfFileHelper::WriteInteger(const std::string& ASection, const std::string& AKey,
                                  std::int32_t AValue) {
  WriteString(ASection, AKey, std::to_string(AValue));
}

bool TInfFileHelper::ReadBool(const std::string& ASection, const std::string& AKey,
                              bool ADefault) const {
  return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

void TInfFileHelper::WriteBool(const std::string& ASection, const std::string& AKey, bool AValue) {
  WriteString(ASection, AKey, AValue ? "1" : "0");
}

void TInfFileHelper::ReadSection(const std::string& ASection,
                                 std::vector<std::string>& AStrings) const {
  AStrings = FIniFile->ReadSection(ASection);
}

void TInfFileHelper::ReadSections(std::vector<std::string>& AStrings) const {
  AStrings = FIniFile->ReadSections();
}

void TInfFileHelper::ReadSectionValues(const std::string& ASection,
                                       std::vector<std::string>& AStrings) const {
  AStrings.clear();
  for (const std::string& key : FIniFile->ReadSection(ASection))
    AStrings.push_back(key + "=" + ReadString(ASection, key, ""));
}

void TInfFileHelper::DeleteKey(const std::string& ASection, const std::string& AKey) {
  FIniFile->DeleteKey(ASection, AKey);
}

void TInfFileHelper::DeleteSection(const std::string& ASection) {
  if (!FIniFile->EraseSection(ASection)) ThrowUnableToWrite();
}

bool TInfFileHelper::SectionExists(const std::string& ASection) const {
  return !FIniFile->ReadSection(ASection).empty();
}

bool TInfFileHelper::ValueExists(const std::string& ASection, const std::string& AKey) const {
  const std::vector<std::string> keys = FIniFile->ReadSection(ASection);
  return std::any_of(keys.begin(), keys.end(),
                     [&AKey](const std::string& k) { return EqualsIgnoringAsciiCase(k, AKey); });
}

}  // namespace lk
