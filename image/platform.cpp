// The system calls of platform.h: POSIX (Linux, macOS, the BSDs) and Win32.
#include "platform.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#endif

namespace tarnwick {

#if defined(_WIN32)
namespace {

// Opens a path for looking at its attributes only (directories too); with
// b_follow false a symbolic link (a reparse point) is opened itself.
HANDLE OpenForQuery(const char *p_path, bool b_follow)
{
    const DWORD n_flags = FILE_FLAG_BACKUP_SEMANTICS | (b_follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileA(p_path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       n_flags, nullptr);
}

FileIdentity IdentifyHandle(HANDLE h_file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if(h_file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h_file, &info))
        return FileIdentity{false, 0, 0};
    return FileIdentity{true, info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// A regular file: a disk file that is not a directory.
bool b_IsRegularHandle(HANDLE h_file, uint64_t *p_size)
{
    BY_HANDLE_FILE_INFORMATION info;
    if(GetFileType(h_file) != FILE_TYPE_DISK || !GetFileInformationByHandle(h_file, &info) ||
       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *p_size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    return true;
}

} // namespace

FileInfo QueryFile(const char *p_path)
{
    HANDLE h_file = OpenForQuery(p_path, true);
    if(h_file == INVALID_HANDLE_VALUE) {
        // Names such as CON or a pipe's may refuse this kind of open but
        // still be readable.
        const DWORD n_error = GetLastError();
        return FileInfo{n_error == ERROR_FILE_NOT_FOUND || n_error == ERROR_PATH_NOT_FOUND ? FileKind::kMissing
                                                                                             : FileKind::kOther,
                        0};
    }
    uint64_t n_size = 0;
    const bool b_regular = b_IsRegularHandle(h_file, &n_size);
    CloseHandle(h_file);
    return FileInfo{b_regular ? FileKind::kRegular : FileKind::kOther, b_regular ? n_size : 0};
}

FileIdentity IdentifyPath(const char *p_path)
{
    HANDLE h_file = OpenForQuery(p_path, true);
    const FileIdentity identity = IdentifyHandle(h_file);
    if(h_file != INVALID_HANDLE_VALUE)
        CloseHandle(h_file);
    return identity;
}

FileIdentity IdentifyOpenFile(FILE *p_file)
{
    return IdentifyHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(p_file))));
}

PathKind InspectPath(const char *p_path, FileIdentity *p_identity)
{
    *p_identity = FileIdentity{false, 0, 0};
    const DWORD n_attributes = GetFileAttributesA(p_path);
    if(n_attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD n_error = GetLastError();
        return n_error == ERROR_FILE_NOT_FOUND || n_error == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                                  : PathKind::kUnknown;
    }
    HANDLE h_file = OpenForQuery(p_path, false);
    *p_identity = IdentifyHandle(h_file);
    uint64_t n_size = 0;
    PathKind kind = PathKind::kOther;
    if(n_attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        kind = PathKind::kLink;
    else if(h_file != INVALID_HANDLE_VALUE && b_IsRegularHandle(h_file, &n_size))
        kind = PathKind::kRegular;
    if(h_file != INVALID_HANDLE_VALUE)
        CloseHandle(h_file);
    return kind;
}

// Windows has no transparent huge pages. VirtualAlloc gives zeroed pages at
// 64 KiB boundaries: for a larger alignment, room for the block and one more
// alignment is reserved and only the aligned part committed; the release
// finds the reservation's start again with VirtualQuery.
void *MapPages(size_t n_bytes, size_t n_alignment)
{
    if(n_bytes > SIZE_MAX - n_alignment)
        return nullptr;
    void *p_reserved = VirtualAlloc(nullptr, n_bytes + n_alignment, MEM_RESERVE, PAGE_NOACCESS);
    if(!p_reserved)
        return nullptr;
    const uintptr_t n_start = reinterpret_cast<uintptr_t>(p_reserved);
    void *p_aligned = reinterpret_cast<void *>((n_start + n_alignment - 1) & ~uintptr_t(n_alignment - 1));
    if(!VirtualAlloc(p_aligned, n_bytes, MEM_COMMIT, PAGE_READWRITE)) {
        VirtualFree(p_reserved, 0, MEM_RELEASE);
        return nullptr;
    }
    return p_aligned;
}

void UnmapPages(void *p_pages, size_t)
{
    MEMORY_BASIC_INFORMATION info;
    if(VirtualQuery(p_pages, &info, sizeof(info)))
        VirtualFree(info.AllocationBase, 0, MEM_RELEASE);
}

#else // POSIX

namespace {

FileIdentity IdentityOf(const struct stat &info)
{
    return FileIdentity{true, uint64_t(info.st_dev), uint64_t(info.st_ino)};
}

} // namespace

FileInfo QueryFile(const char *p_path)
{
    struct stat info;
    if(stat(p_path, &info) != 0)
        return FileInfo{FileKind::kMissing, 0};
    if(S_ISREG(info.st_mode))
        return FileInfo{FileKind::kRegular, uint64_t(info.st_size)};
    return FileInfo{FileKind::kOther, 0};
}

FileIdentity IdentifyPath(const char *p_path)
{
    struct stat info;
    return stat(p_path, &info) == 0 ? IdentityOf(info) : FileIdentity{false, 0, 0};
}

FileIdentity IdentifyOpenFile(FILE *p_file)
{
    struct stat info;
    return fstat(fileno(p_file), &info) == 0 ? IdentityOf(info) : FileIdentity{false, 0, 0};
}

PathKind InspectPath(const char *p_path, FileIdentity *p_identity)
{
    *p_identity = FileIdentity{false, 0, 0};
    struct stat info;
    if(lstat(p_path, &info) != 0)
        return errno == ENOENT ? PathKind::kMissing : PathKind::kUnknown;
    *p_identity = IdentityOf(info);
    return S_ISREG(info.st_mode) ? PathKind::kRegular : S_ISLNK(info.st_mode) ? PathKind::kLink : PathKind::kOther;
}

// One alignment's worth more is mapped than asked for, and the unaligned
// ends are given back.
void *MapPages(size_t n_bytes, size_t n_alignment)
{
    if(n_bytes > SIZE_MAX - n_alignment)
        return nullptr;
    const size_t n_mapped = n_bytes + n_alignment;
    void *p_mapping = mmap(nullptr, n_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if(p_mapping == MAP_FAILED)
        return nullptr;
    const uintptr_t n_start = reinterpret_cast<uintptr_t>(p_mapping);
    const uintptr_t n_aligned = (n_start + n_alignment - 1) & ~uintptr_t(n_alignment - 1);
    if(n_aligned > n_start)
        munmap(p_mapping, n_aligned - n_start);
    const uintptr_t n_end = n_aligned + n_bytes;
    if(n_start + n_mapped > n_end)
        munmap(reinterpret_cast<void *>(n_end), n_start + n_mapped - n_end);
    void *p_pages = reinterpret_cast<void *>(n_aligned);
#ifdef MADV_HUGEPAGE
    // Without transparent huge pages the block still works, in small pages.
    madvise(p_pages, n_bytes, MADV_HUGEPAGE);
#endif
    return p_pages;
}

void UnmapPages(void *p_pages, size_t n_bytes)
{
    munmap(p_pages, n_bytes);
}

#endif

} // namespace tarnwick
