#include "core/configuration_rules.h"

#include <vector>

#include "core/number_rules.h"
#include "core/text_split.h"
#include "platform/error.h"

namespace lk {

std::string ConfigurationFileName(std::string_view launcherPath) {
  static constexpr std::string_view kFrom = ".exe", kTo = ".inf";
  std::string out;
  out.reserve(launcherPath.size());
  std::size_t i = 0;
  for (std::size_t hit; (hit = launcherPath.find(kFrom, i)) != std::string_view::npos;
       i = hit + kFrom.size()) {
    out.append(launcherPath.substr(i, hit - i));
    out.append(kTo);
  }
  out.append(launcherPath.substr(i));
  return out;
}

TPersonInfo PersonInfoFromEntry(std::string_view decodedEntry) {
  const std::vector<std::string> f = SplitDelimitedStrict(decodedEntry);
  auto at = [&f](std::size_t pos) -> const std::string& {
    if (pos >= f.size()) throw RangeError("List index out of bounds (" + std::to_string(pos) + ")");
    return f[pos];
  };
  TPersonInfo p;
  p.GroupName = at(0);
  p.ListAreaName = at(1);
  p.ReaDistrictName = at(2);
  p.ServerAddress = at(3);
  // Ports keep their low 16 bits: 70000 is stored as 4464.
  p.LoginPort = static_cast<std::uint16_t>(ParseUnsignedInt32(at(4)) & 0xFFFF);
  p.RegisteredPorts = static_cast<std::uint16_t>(ParseUnsignedInt32(at(5)) & 0xFFFF);
  p.PlatFormID = ParseSignedInt32(at(6));
  p.ChannelID = at(7);
  p.ServerID = ParseUnsignedInt32(at(8));
  p.ClientFileName = at(9);
  return p;
}

std::string EntryFromPersonInfo(const TPersonInfo& info) {
  const std::string* texts[] = {&info.GroupName, &info.ListAreaName, &info.ReaDistrictName,
                                &info.ServerAddress, &info.ChannelID, &info.ClientFileName};
  for (const std::string* t : texts) {
    if (t->find('|') != std::string::npos)
      throw Error("A zone field must not contain \"|\": " + *t);
    if (!t->empty() && t->front() == '"')
      throw Error("A zone field must not begin with a double quote: " + *t);
  }
  return info.GroupName + '|' + info.ListAreaName + '|' + info.ReaDistrictName + '|' +
         info.ServerAddress + '|' + std::to_string(info.LoginPort) + '|' +
         std::to_string(info.RegisteredPorts) + '|' + std::to_string(info.PlatFormID) + '|' +
         info.ChannelID + '|' + std::to_string(info.ServerID) + '|' + info.ClientFileName;
}

}  // namespace lk
