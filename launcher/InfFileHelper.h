#pragma once
// One object per INI-style settings file (the launcher configuration file,
// the game options file). No cache, no validation: every call reads or
// writes the file at that moment through the system's profile functions.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace lk {

class TInfFileHelper {
 public:
  // Stores the path unchanged; reads and writes nothing.
  explicit TInfFileHelper(const std::string& AFileName);
  // Flushes pending writes.
  ~TInfFileHelper();
  TInfFileHelper(const TInfFileHelper&) = delete;
  TInfFileHelper& operator=(const TInfFileHelper&) = delete;

  const std::string& FileName() const { return FFileName; }

  std::string ReadString(const std::string& ASection, const std::string& AKey,
                         const std::string& ADefault) const;
  // Throws Error("Unable to write to <path>") when the system refuses.
  void WriteString(const std::string& ASection, const std::string& AKey, const std::string& AValue);
  std::int32_t ReadInteger(const std::string& ASection, const std::string& AKey,
                           std::int32_t ADefault) const;
  void WriteInteger(const std::string& ASection, const std::string& AKey, std::int32_t AValue);
  bool ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) const;
  void WriteBool(const std::string& ASection, const std::string& AKey, bool AValue);
  void ReadSection(const std::string& ASection, std::vector<std::string>& AStrings) const;
  void ReadSections(std::vector<std::string>& AStrings) const;
  void ReadSectionValues(const std::string& ASection, std::vector<std::string>& AStrings) const;
  void DeleteKey(const std::string& ASection, const std::string& AKey);
  void DeleteSection(const std::string& ASection);
  bool SectionExists(const std::string& ASection) const;
  bool ValueExists(const std::string& ASection, const std::string& AKey) const;

 private:
  [[noreturn]] void ThrowUnableToWrite() const;

  std::unique_ptr<ProfileFile> FIniFile;
  std::string FFileName;
};

}  // namespace lk
