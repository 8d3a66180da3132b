// Files through the Win32 W functions.
#include <windows.h>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, DWORD code) {
  throw Error(path + ": " + what + ": " + SystemErrorText(code));
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

}  // namespace

struct InFile::Impl {
  std::string path;
  UniqueFile file;
};

InFile::InFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->file.reset(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!impl_->file) Fail(path, "cannot open", GetLastError());
}
InFile::~InFile() = default;
InFile::InFile(InFile&&) noexcept = default;
InFile& InFile::operator=(InFile&&) noexcept = default;

const std::string& InFile::path() const { return impl_->path; }

std::uint64_t InFile::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(impl_->file.get(), &size)) Fail(impl_->path, "cannot read the size", GetLastError());
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t InFile::Read(std::uint8_t* buffer, std::size_t n) {
  const DWORD want = static_cast<DWORD>(n > 0x40000000u ? 0x40000000u : n);
  DWORD got = 0;
  if (!ReadFile(impl_->file.get(), buffer, want, &got, nullptr))
    Fail(impl_->path, "cannot read", GetLastError());
  return got;
}

void InFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
  while (n > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(n > 0x40000000u ? 0x40000000u : n);
    DWORD got = 0;
    if (!ReadFile(impl_->file.get(), buffer, want, &got, &at)) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) throw RangeError(impl_->path + ": the file ends early");
      Fail(impl_->path, "cannot read", code);
    }
    if (got == 0) throw RangeError(impl_->path + ": the file ends early");
    buffer += got;
    offset += got;
    n -= got;
  }
}

struct OutFile::Impl {
  std::string path;
  UniqueFile file;
};

OutFile::OutFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->file.reset(
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!impl_->file) Fail(path, "cannot create", GetLastError());
}
OutFile::OutFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OutFile OutFile::Resume(const std::string& path, std::uint64_t keep) {
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->file.reset(
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!impl->file) Fail(path, "cannot open", GetLastError());
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(keep);
  if (!SetFilePointerEx(impl->file.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(impl->file.get()))
    Fail(path, "cannot write", GetLastError());
  return OutFile(std::move(impl));
}

OutFile::~OutFile() = default;
OutFile::OutFile(OutFile&&) noexcept = default;
OutFile& OutFile::operator=(OutFile&&) noexcept = default;

void OutFile::Write(const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const DWORD want = static_cast<DWORD>(n > 0x40000000u ? 0x40000000u : n);
    DWORD done = 0;
    if (!WriteFile(impl_->file.get(), data, want, &done, nullptr))
      Fail(impl_->path, "cannot write", GetLastError());
    data += done;
    n -= done;
  }
}

void OutFile::Flush() {
  if (impl_->file && !FlushFileBuffers(impl_->file.get())) Fail(impl_->path, "cannot write", GetLastError());
}

void OutFile::Close() {
  HANDLE h = impl_->file.get();
  if (!h) return;
  // CloseHandle reports little; the last write error shows up in the writes.
  impl_->file.reset();
}

const std::int64_t kFileClockTicksPerSecond = 10000000;

std::int64_t FileClockNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

std::vector<std::pair<std::string, FileIdentity>> ListFileIdentities(const std::string& folder) {
  std::vector<std::pair<std::string, FileIdentity>> out;
  UniqueFile dir(CreateFileW(Wide(folder).c_str(), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir) return out;
  // 8-byte aligned, as the records are.
  std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(dir.get(), kind, buffer.data(),
                                      static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)))) {
    kind = FileIdBothDirectoryInfo;
    const auto* at = reinterpret_cast<const std::uint8_t*>(buffer.data());
    for (;;) {
      const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      if (!(e->FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FileIdentity id;
        id.size = static_cast<std::uint64_t>(e->EndOfFile.QuadPart);
        id.lastWrite = e->LastWriteTime.QuadPart;
        id.change = e->ChangeTime.QuadPart;
        id.id = static_cast<std::uint64_t>(e->FileId.QuadPart);
        out.emplace_back(Narrow(std::wstring_view(e->FileName, e->FileNameLength / sizeof(wchar_t))), id);
      }
      if (e->NextEntryOffset == 0) break;
      at += e->NextEntryOffset;
    }
  }
  return out;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileExW(Wide(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &found,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return names;
  UniqueAny<HANDLE, FindCloseFn> find(h);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Narrow(found.cFileName));
  } while (FindNextFileW(find.get(), &found));
  return names;
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsRegularFile(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void CreateDirectories(const std::string& path) {
  if (path.empty() || IsDirectory(path)) return;
  // Walk up to the first existing parent, then create downwards, so the
  // error names the folder that could not be made.
  std::wstring w = Wide(path);
  while (!w.empty() && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
  const std::size_t cut = w.find_last_of(L"\\/");
  if (cut != std::wstring::npos && cut > 0) {
    const std::wstring parent = w.substr(0, cut);
    // A bare drive ("C:") or a UNC root is not created.
    if (!(parent.size() == 2 && parent[1] == L':') && parent.find_first_not_of(L"\\/") != std::wstring::npos)
      CreateDirectories(Narrow(parent));
  }
  if (!CreateDirectoryW(w.c_str(), nullptr)) {
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS && IsDirectory(path)) return;
    Fail(path, "cannot create the folder", code);
  }
}

void MoveReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    Fail(to, "cannot be replaced", GetLastError());
}

bool RemoveFile(const std::string& path) noexcept {
  try {
    return DeleteFileW(Wide(path).c_str()) != 0;
  } catch (...) {
    return false;
  }
}

bool RemoveEmptyDirectory(const std::string& path) noexcept {
  try {
    return RemoveDirectoryW(Wide(path).c_str()) != 0;
  } catch (...) {
    return false;
  }
}

bool DirectoryHasEntries(const std::string& path) {
  // "*.*" with FindFirstFileW lists every entry, hidden and system ones too.
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(Wide(JoinPath(path, "*.*")).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  UniqueAny<HANDLE, FindCloseFn> find(h);
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") return true;
  } while (FindNextFileW(find.get(), &found));
  return false;
}

}  // namespace lk
