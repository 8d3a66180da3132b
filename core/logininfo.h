#pragma once
// The plain records of the launcher: brand, skin and zone.
#include <cstdint>
#include <string>

namespace lk {

// One game zone, decoded from a configuration entry. Records hang on the
// zone nodes of the tree and live for the whole run.
struct TPersonInfo {
  std::int32_t PlatFormID = 0;
  std::string ChannelID;
  std::uint32_t ServerID = 0;
  std::string GroupName;
  std::string ListAreaName;
  std::string ReaDistrictName;
  std::string ServerAddress;
  std::uint16_t LoginPort = 0;
  std::uint16_t RegisteredPorts = 0;
  std::string ClientFileName;

  bool operator==(const TPersonInfo&) const = default;
};

}  // namespace lk
