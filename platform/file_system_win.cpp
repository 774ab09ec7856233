// The Windows side of file_system.h. Names are UTF-8 inside the program and
// UTF-16 at every call of the system; a long name goes to the system as an
// absolute "\\?\" name, past the old 260-character limit.
//
// What has no meaning here: folders have no sticky bit, files neither an
// immutable flag nor a mode for root to be held to; there is no owner to
// check before replacing a file (the system's access rules decide, and are
// passed on to the new file). A folder's entries cannot be flushed apart
// from its files: the renames are written through instead (MoveFileEx with
// MOVEFILE_WRITE_THROUGH).

#include <windows.h>
// After windows.h, which it builds on.
#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <string>

#include "platform/file_system.h"
#include "platform/file_system_parts.h"
#include "platform/interrupts.h"
#include "platform/io_error.h"
#include "platform/quoted.h"
#include "platform/utf16_win.h"

namespace orv::platform {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
  throw IoError(what + " " + Quoted(path) + ": " + SystemErrorText(error));
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw IoError("cannot write " + Quoted(path) + ": " + why);
}

// The name as the system's calls take it.
std::wstring Wide(const std::string& path) {
  std::wstring wide = Utf16(path);
  if (wide.size() < MAX_PATH - 20 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // An absolute name with "\\?\" is not parsed again, so it may be longer;
  // the full name first turns every "/" into "\".
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  full.resize(::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr));
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens whatever the name leads to (a folder too) only to ask about it.
HANDLE OpenToAsk(const std::string& path) {
  return ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

constexpr DWORD kNoFile = INVALID_FILE_ATTRIBUTES;

// What tells a file read apart from the same name written over since.
struct Identity {
  bool plain = false;  // only plain files on a disk are compared
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER change_time{};
};

Identity IdentityOf(HANDLE h) {
  Identity id;
  FILE_BASIC_INFO basic{};
  id.plain = ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &id.info) &&
             (id.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
             ::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
  id.change_time = basic.ChangeTime;
  return id;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

void CheckIdentity(const Identity& read, const std::string& path) {
  if (!read.plain) return;
  Handle h(OpenToAsk(path));
  const Identity now = h.valid() ? IdentityOf(h.get()) : Identity();
  const auto& a = read.info;
  const auto& b = now.info;
  const bool same = now.plain && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow &&
                    a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
                    SameTime(a.ftLastWriteTime, b.ftLastWriteTime) &&
                    read.change_time.QuadPart == now.change_time.QuadPart;
  if (!same) {
    throw IoError("the world save " + Quoted(path) +
                  " changed while it was read (did the server save over it?); convert it again "
                  "once it is written");
  }
}

std::string ReadAll(HANDLE h, const std::string& path) {
  std::string bytes;
  char chunk[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;  // the writer is done
      Fail("cannot read", path, error);
    }
    if (n == 0) break;
    bytes.append(chunk, n);
  }
  return bytes;
}

// Asks the system to read the whole mapping in now, in large reads, rather
// than a fault per page (Windows 8 and later; a hint only).
void Prefetch(const void* base, std::size_t size) {
  using PrefetchFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR, PWIN32_MEMORY_RANGE_ENTRY, ULONG);
  static const auto prefetch = reinterpret_cast<PrefetchFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "PrefetchVirtualMemory")));
  if (prefetch == nullptr) return;
  WIN32_MEMORY_RANGE_ENTRY range{const_cast<void*>(base), size};
  prefetch(::GetCurrentProcess(), 1, &range, 0);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return path.substr(slash + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(2);  // "C:name"
  return path;
}

// The longest name, in UTF-16 units, that the file systems of Windows take
// (NTFS, FAT32, exFAT and ReFS alike).
constexpr long kNameMax = 255;

// A fresh temporary name ".NAME.orvantor-PID-N.tmp" beside `file`.
std::string NextTemporaryName(const std::string& file) {
  const std::string base = BaseName(file);
  return file.substr(0, file.size() - base.size()) +
         TemporaryName(base, kNameMax, ::GetCurrentProcessId());
}

// Makes `temp` a new name beside `file` with `make` (which answers false and
// leaves the error in GetLastError on failure) and notes it for removal on
// an interrupt, both under one hold, so that no interrupt falls between.
// Throws on any failure but a name taken.
template <class Make>
void MakeTemporary(const std::string& file, std::string& temp, const std::string& what, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = NextTemporaryName(file);
    InterruptHold hold;
    if (make(Wide(temp))) {
      NoteTemporaryFile(temp.c_str());
      return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      temp.clear();
      Fail(what, file, error);
    }
  }
  temp.clear();
  Fail(what, file, ERROR_FILE_EXISTS);
}

// The attributes that pass from a replaced file to the new one. Read-only
// passes too, but only at the rename (RenameOver): a temporary file must
// stay removable.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Gives the new file `temp` the access rules, owner and group of `file`
// where we may, as a replaced POSIX file keeps its mode and owner: a
// character file kept private must not become readable by everyone. Rules
// that `file` only inherits from its folder are inherited anew.
void CopySecurity(const std::string& file, const std::string& temp) {
  PSID owner = nullptr, group = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  std::wstring wide_file = Wide(file);
  if (::GetNamedSecurityInfoW(
          wide_file.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &owner, &group, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(sd, &control, &revision);
  std::wstring wide_temp = Wide(temp);
  const SECURITY_INFORMATION dacl_info =
      DACL_SECURITY_INFORMATION |
      ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                          : UNPROTECTED_DACL_SECURITY_INFORMATION);
  if (dacl != nullptr)
    ::SetNamedSecurityInfoW(wide_temp.data(), SE_FILE_OBJECT, dacl_info, nullptr, nullptr, dacl,
                            nullptr);
  // Giving a file away takes a privilege that only administrators hold.
  ::SetNamedSecurityInfoW(wide_temp.data(), SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner, group,
                          nullptr, nullptr);
  ::LocalFree(sd);
}

// The system's own name of a file that is open, without the "\\?\".
std::string FinalName(HANDLE h) {
  wchar_t buffer[32768];
  const DWORD n =
      ::GetFinalPathNameByHandleW(h, buffer, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= 32768) return {};
  std::wstring name(buffer, n);
  if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) return Utf8(L"\\\\" + name.substr(8));
  if (name.rfind(L"\\\\?\\", 0) == 0) return Utf8(name.substr(4));
  return Utf8(name);
}

}  // namespace

void UnmapFile(const void* base, std::size_t) { ::UnmapViewOfFile(base); }

bool NameExists(const std::string& path) { return AttributesOf(path) != kNoFile; }

std::string RenameOver(const std::string& from, const std::string& to) {
  const std::wstring wide_to = Wide(to);
  // The system will not replace a read-only file: the attribute is taken
  // off for the rename and given to the file that takes its place.
  const DWORD before = ::GetFileAttributesW(wide_to.c_str());
  const bool read_only = before != kNoFile && (before & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only) ::SetFileAttributesW(wide_to.c_str(), before & ~FILE_ATTRIBUTE_READONLY);
  if (!::MoveFileExW(Wide(from).c_str(), wide_to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    if (read_only) ::SetFileAttributesW(wide_to.c_str(), before);
    return SystemErrorText(error);
  }
  if (read_only) {
    const DWORD now = ::GetFileAttributesW(wide_to.c_str());
    if (now != kNoFile) ::SetFileAttributesW(wide_to.c_str(), now | FILE_ATTRIBUTE_READONLY);
  }
  return {};
}

std::string RemoveFile(const std::string& path) {
  return ::DeleteFileW(Wide(path).c_str()) ? std::string() : SystemErrorText(::GetLastError());
}

void ForgetAndRemove(std::string& temp) {
  if (temp.empty()) return;
  InterruptHold hold;
  ::DeleteFileW(Wide(temp).c_str());
  ForgetTemporaryFile(temp.c_str());
  temp.clear();
}

void KeepOld(const std::string& file, std::string& kept) {
  constexpr const char* kWhat = "cannot keep the old file, to put it back should the other fail,";
  const std::wstring wide_file = Wide(file);
  const DWORD attributes = ::GetFileAttributesW(wide_file.c_str());
  // A link shares the attributes of the file: a read-only one could then
  // not be removed without making the target writable. So it is copied.
  const bool link = attributes != kNoFile && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  MakeTemporary(file, kept, kWhat, [&](const std::wstring& name) {
    if (link && ::CreateHardLinkW(name.c_str(), wide_file.c_str(), nullptr)) return true;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return false;
    if (!::CopyFileW(wide_file.c_str(), name.c_str(), TRUE)) return false;
    ::SetFileAttributesW(name.c_str(), attributes & kKeptAttributes);
    return true;
  });
}

std::string SyncFolder(const std::string&) { return {}; }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + ".";  // "C:name"
    return ".";
  }
  // The root of a drive or of the current drive keeps its separator.
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::unique_ptr<FileBytes> OpenWholeFile(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  if (attributes != kNoFile && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    throw IoError("cannot read " + Quoted(path) + ": it is a folder");
  // Shared for writing and deleting: the server must still be able to save
  // its world meanwhile (CheckUnchanged tells when it did).
  Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) Fail("cannot open", path, ::GetLastError());
  const Identity id = IdentityOf(h.get());
  LARGE_INTEGER size{};
  if (!id.plain || !::GetFileSizeEx(h.get(), &size) || size.QuadPart == 0)
    return std::make_unique<OwnedBytes<Identity>>(ReadAll(h.get(), path), path, id);
  if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
    Fail("not enough memory to load", path, ERROR_NOT_ENOUGH_MEMORY);
  // A read-only view of the whole save: in memory without a copy. The view
  // keeps the file open; the handles may go.
  Handle mapping(::CreateFileMappingW(h.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const void* base =
      mapping.valid() ? ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (base == nullptr) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_COMMITMENT_LIMIT)
      Fail("not enough memory to load", path, error);
    return std::make_unique<OwnedBytes<Identity>>(ReadAll(h.get(), path), path, id);
  }
  const auto bytes = static_cast<std::size_t>(size.QuadPart);
  Prefetch(base, bytes);
  return std::make_unique<MappedBytes<Identity>>(base, bytes, path, id);
}

std::string ResolveTarget(const std::string& target) {
  const DWORD attributes = AttributesOf(target);
  if (attributes == kNoFile || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return target;
  // A symbolic link (or a junction on the way): where it leads.
  Handle h(OpenToAsk(target));
  if (h.valid()) {
    const std::string name = FinalName(h.get());
    if (!name.empty()) return name;
    Fail("cannot write", target, ::GetLastError());
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_CANT_RESOLVE_FILENAME)
    throw IoError("cannot write " + Quoted(target) +
                  ": its symbolic links lead round in a loop; point the link at a file");
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    throw IoError("cannot write " + Quoted(target) +
                  ": it is a symbolic link to a file that does not exist; point the link at a "
                  "file, or choose another name");
  Fail("cannot write", target, error);
}

void CheckReplaceable(const std::string& target, bool force) {
  // Device names (NUL, CON, COM1, LPT1 ... in any folder, "\\.\" names)
  // lead out of the file system.
  const std::wstring wide = Utf16(target);
  wchar_t full[32768];
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 32768, full, nullptr);
  if (n > 0 && n < 32768 && std::wstring_view(full, n).rfind(L"\\\\.\\", 0) == 0)
    Refuse(target, "it is a device, not a plain file; choose a file name");
  {
    Handle h(OpenToAsk(target));
    if (h.valid()) {
      BY_HANDLE_FILE_INFORMATION info{};
      if (::GetFileType(h.get()) != FILE_TYPE_DISK)
        Refuse(target, "it is a device or a pipe, not a plain file; choose a file name");
      if (::GetFileInformationByHandle(h.get(), &info) &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        Refuse(target, "it is a folder; choose a file name");
    }
  }
  const std::string file = ResolveTarget(target);
  const std::string folder = FolderOf(file);
  const DWORD folder_attributes = AttributesOf(folder);
  if (folder_attributes == kNoFile) Fail("cannot write into the folder", folder, ::GetLastError());
  if ((folder_attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    Fail("cannot write into the folder", folder, ERROR_DIRECTORY);
  const std::string base = BaseName(file);
  if (base.empty() || base == "." || base == "..")
    Refuse(target, "it is a folder; choose a file name");
  if (static_cast<long>(Utf16(base).size()) > kNameMax)
    Fail("cannot write", target, ERROR_FILENAME_EXCED_RANGE);
  const DWORD attributes = AttributesOf(file);
  if (attributes == kNoFile) return;  // a new file
  // A target that another program holds open without letting others
  // replace it (a server that still runs) would fail at the rename.
  Handle h(::CreateFileW(Wide(file).c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid() && ::GetLastError() == ERROR_SHARING_VIOLATION)
    Refuse(target, "another program has it open (is the server still running?); close it first");
  if (!force && IsReadOnly(file))
    throw NeedsForce("cannot write " + Quoted(target) + ": it is read-only");
}

AtomicFileWriter::AtomicFileWriter(const std::string& target)
    : target_(target), file_(ResolveTarget(target)) {
  // The rename at the commit could never replace a folder. Saying so now,
  // before anything is written, keeps a run from replacing one target and
  // then failing on the other.
  const DWORD attributes = AttributesOf(file_);
  const bool replacing = attributes != kNoFile;
  if ((replacing && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) || BaseName(file_).empty())
    throw IoError("cannot write " + Quoted(target) + ": it is a folder");
  HANDLE made = INVALID_HANDLE_VALUE;
  // Shared for deleting: an interrupt removes the file while it is open.
  MakeTemporary(file_, temp_, "cannot write", [&](const std::wstring& name) {
    made = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return made != INVALID_HANDLE_VALUE;
  });
  handle_ = reinterpret_cast<std::intptr_t>(made);
  if (replacing) CopySecurity(file_, temp_);
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Write(const char* data, std::size_t size) {
  if (handle_ == -1) throw IoError("cannot write " + Quoted(target_) + ": file already closed");
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  while (size > 0) {
    DWORD n = 0;
    if (!::WriteFile(h, data, size < (1u << 30) ? static_cast<DWORD>(size) : (1u << 30), &n,
                     nullptr))
      Fail("cannot write", target_, ::GetLastError());
    data += n;
    size -= n;
  }
}

void AtomicFileWriter::Finish(bool sync) {
  if (handle_ == -1) return;
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  handle_ = -1;
  if (sync && !::FlushFileBuffers(h) && ::GetLastError() != ERROR_INVALID_FUNCTION) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    Fail("cannot sync to the disk", target_, error);
  }
  if (!::CloseHandle(h)) Fail("cannot write", target_, ::GetLastError());
  const DWORD old = AttributesOf(file_);
  if (old != kNoFile && (old & kKeptAttributes) != 0)
    ::SetFileAttributesW(Wide(temp_).c_str(), old & kKeptAttributes);
}

void AtomicFileWriter::Discard() {
  if (handle_ != -1) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
  if (!committed_) ForgetAndRemove(temp_);
}

std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& folder) {
  std::vector<std::string> removed;
  WIN32_FIND_DATAW entry;
  const HANDLE find = ::FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return removed;
  const std::string prefix =
      folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder : folder + "\\";
  do {
    const std::string name = Utf8(entry.cFileName);
    unsigned long pid = 0;
    if (!TemporaryOwner(name, pid) || pid == ::GetCurrentProcessId()) continue;
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      continue;
    // A process that still runs (or that we may not even ask about) may
    // still be writing it.
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
      DWORD code = 0;
      const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
      ::CloseHandle(process);
      if (running) continue;
    } else if (::GetLastError() != ERROR_INVALID_PARAMETER) {
      continue;
    }
    const std::string path = prefix + name;
    if (::DeleteFileW(Wide(path).c_str())) removed.push_back(path);
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  std::sort(removed.begin(), removed.end());
  return removed;
}

// A named mutex of the folder's identity (its volume and file number), so
// that every name of the folder meets the same lock. A mutex whose holder
// died is taken over (WAIT_ABANDONED).
FolderLock::FolderLock(const std::string& folder) : folder_(folder) {
  Handle h(OpenToAsk(folder));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!h.valid() || !::GetFileInformationByHandle(h.get(), &info))
    Fail("cannot lock the folder", folder, ::GetLastError());
  device_ = info.dwVolumeSerialNumber;
  inode_ = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  wchar_t name[80];
  HANDLE mutex = nullptr;
  // Global: runs in other sessions (a service, another remote desktop)
  // write into the same folders. Local where the right to that is lacking.
  for (const wchar_t* space : {L"Global", L"Local"}) {
    ::wsprintfW(name, L"%ls\\orvantor-folder-%08lx-%08lx%08lx", space,
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
    mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (mutex != nullptr) break;
  }
  if (mutex == nullptr) Fail("cannot lock the folder", folder, ::GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

FolderLock::~FolderLock() {
  if (handle_ == -1) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ::ReleaseMutex(mutex);  // fails harmlessly when not held
  ::CloseHandle(mutex);
}

bool FolderLock::TryLock() {
  const DWORD got = ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), 0);
  if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) return true;
  if (got == WAIT_TIMEOUT) return false;
  Fail("cannot lock the folder", folder_, ::GetLastError());
}

void FolderLock::Lock() {
  const DWORD got = ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE);
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED)
    Fail("cannot lock the folder", folder_, ::GetLastError());
}

bool FolderLock::SameFolder(const FolderLock& other) const {
  return device_ == other.device_ && inode_ == other.inode_;
}

bool FileExists(const std::string& path) {
  if (path.empty() || AttributesOf(path) == kNoFile) return false;
  // A file removed while it is open (the source of the last run stays
  // mapped) keeps its name until it is closed, marked for deletion.
  Handle h(OpenToAsk(path));
  FILE_STANDARD_INFO info{};
  return !h.valid() ||
         !::GetFileInformationByHandleEx(h.get(), FileStandardInfo, &info, sizeof info) ||
         !info.DeletePending;
}

bool SameFile(const std::string& a, const std::string& b) {
  Handle ha(OpenToAsk(a));
  Handle hb(OpenToAsk(b));
  if (ha.valid() && hb.valid()) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (::GetFileInformationByHandle(ha.get(), &ia) && ::GetFileInformationByHandle(hb.get(), &ib))
      return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
             ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  }
  if (ha.valid() != hb.valid()) return false;
  // Neither exists: the same full name, in any case (the file systems of
  // Windows do not tell case apart).
  const auto full = [](const std::string& name) {
    const std::wstring wide = Utf16(name);
    std::wstring out(32768, L'\0');
    out.resize(::GetFullPathNameW(wide.c_str(), 32768, out.data(), nullptr));
    return out;
  };
  const std::wstring fa = full(a), fb = full(b);
  return ::CompareStringOrdinal(fa.data(), static_cast<int>(fa.size()), fb.data(),
                                static_cast<int>(fb.size()), TRUE) == CSTR_EQUAL;
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  if (attributes == kNoFile || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return true;
  // Or the access rules keep us from writing it.
  Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  return !h.valid() && ::GetLastError() == ERROR_ACCESS_DENIED;
}

std::int64_t FreeBytes(const std::string& path) {
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(Wide(FolderOf(path)).c_str(), &available, nullptr, nullptr)) return -1;
  return available.QuadPart > static_cast<unsigned long long>(INT64_MAX)
             ? INT64_MAX
             : static_cast<std::int64_t>(available.QuadPart);
}

}  // namespace orv::platform
