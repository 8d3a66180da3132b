#pragma once
// The update manifest as the update run and `launcher-kit publish` see it:
// the keys of its UpdateData section and its file sections. Every manifest
// key is spelled here and nowhere else; the launcher reads the model out of
// the window's ManifestIni and publish writes the model as text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/manifest.h"

namespace lk {

// One file section "File_<index>".
struct ManifestFile {
  std::int32_t index = 0;
  std::string FileDir;     // folder relative to the launcher folder, ending in "\"; may begin with ".\"
  std::string LocalName;   // the file inside FileDir whose digest is compared
  std::string FileMd5;     // SHA-256 text of the up-to-date file, whatever the key says
  std::string GrobalName;  // the archive on the server that brings it
  bool operator==(const ManifestFile&) const = default;
};

struct UpdateManifest {
  std::string UpdateUrl;  // base address; an item's address is UpdateUrl + item name
  std::string Remotebutton1, Remotebutton2;
  std::string remotePath1, remotePath2;
  std::string LoginVerificationCode, LoginDownloadName, LoginName;
  std::string ConfigName, ConfigVerificationCode, ConfigDownloadName;
  // Count as written; count is its value when it is a number.
  std::string Count;
  std::optional<std::int32_t> count;
  // The file sections present with an index below count, in index order.
  // Absent sections are left out: they would list nothing. So a huge
  // Count costs only what the manifest itself holds.
  std::vector<ManifestFile> files;

  bool operator==(const UpdateManifest&) const = default;
};

// Reads the model from a filled store. Never throws: a Count that is not a
// number leaves count empty and files empty, for the caller to refuse.
UpdateManifest ReadUpdateManifest(const ManifestIni& store);

// The manifest text publish serves: UTF-8 with its mark, CR LF lines, the
// UpdateData keys (optional ones only when not empty), then one section per
// file, numbered as their index fields say. Count is written from files
// when count is empty.
std::string WriteUpdateManifest(const UpdateManifest& manifest);

}  // namespace lk
