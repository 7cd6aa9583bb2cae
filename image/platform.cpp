// The system calls of platform.h: POSIX (Linux, macOS, the BSDs) and Win32.
#include "platform.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#if defined(__linux__)
#include <sched.h>
#endif
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
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

bool ResolveLink(const char *p_path, char *p_target, size_t n_target_size)
{
    const DWORD n_attributes = GetFileAttributesA(p_path);
    if(n_attributes == INVALID_FILE_ATTRIBUTES || !(n_attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    HANDLE h_file = OpenForQuery(p_path, true);
    if(h_file == INVALID_HANDLE_VALUE)
        return false;
    char a_final[MAX_PATH + 8];
    const DWORD n_length = GetFinalPathNameByHandleA(h_file, a_final, DWORD(sizeof(a_final)), FILE_NAME_NORMALIZED);
    CloseHandle(h_file);
    if(n_length == 0 || n_length >= sizeof(a_final))
        return false;
    // The final path starts with "\\?\", which the C library's file calls do not take.
    const char *p_final = std::strncmp(a_final, "\\\\?\\", 4) == 0 ? a_final + 4 : a_final;
    if(std::strlen(p_final) >= n_target_size)
        return false;
    std::strcpy(p_target, p_final);
    return true;
}

bool b_IsWritableFile(const char *p_path)
{
    return _access(p_path, 2) == 0;
}

FILE *CreateFileBeside(const char *p_path, char *p_created, size_t n_created_size)
{
    const char *p_slash = std::strrchr(p_path, '/');
    const char *p_backslash = std::strrchr(p_path, '\\');
    const char *p_base = p_slash > p_backslash ? p_slash + 1 : p_backslash ? p_backslash + 1 : p_path;
    for(unsigned n_try = 0; n_try < 100; ++n_try) {
        const int n_written = std::snprintf(p_created, n_created_size, "%.*s.%s.%lu-%u.tarnwick", int(p_base - p_path),
                                            p_path, p_base, (unsigned long)GetCurrentProcessId(), n_try);
        if(n_written < 0 || size_t(n_written) >= n_created_size)
            return nullptr;
        int n_descriptor = -1;
        if(_sopen_s(&n_descriptor, p_created, _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _SH_DENYNO,
                    _S_IREAD | _S_IWRITE) == 0) {
            FILE *p_file = _fdopen(n_descriptor, "w");
            if(!p_file) {
                _close(n_descriptor);
                std::remove(p_created);
            }
            return p_file;
        }
        if(errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// A new file takes the folder's access rules, as the file it replaces did;
// the one permission of a file's own, the read-only mark, is never copied
// (a read-only file is not replaced: see b_IsWritableFile).
bool CopyPermissions(const char *, FILE *)
{
    return true;
}

bool MoveFileOver(const char *p_from, const char *p_to)
{
    return MoveFileExA(p_from, p_to, MOVEFILE_REPLACE_EXISTING) != 0;
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

namespace {

struct ThreadStart {
    void (*p_Run)(void *);
    void *p_context;
};

DWORD WINAPI RunThreadStart(LPVOID p_start)
{
    const ThreadStart start = *static_cast<ThreadStart *>(p_start);
    std::free(p_start);
    start.p_Run(start.p_context);
    return 0;
}

} // namespace

bool StartWorkerThread(void (*p_Run)(void *), void *p_context, WorkerThread &thread)
{
    ThreadStart *p_start = static_cast<ThreadStart *>(std::malloc(sizeof(ThreadStart)));
    if(!p_start)
        return false;
    *p_start = ThreadStart{p_Run, p_context};
    thread.p_handle = CreateThread(nullptr, 0, RunThreadStart, p_start, 0, nullptr);
    if(!thread.p_handle)
        std::free(p_start);
    return thread.p_handle != nullptr;
}

void JoinWorkerThread(WorkerThread &thread)
{
    WaitForSingleObject(thread.p_handle, INFINITE);
    CloseHandle(thread.p_handle);
    thread.p_handle = nullptr;
}

struct ThreadGate {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
};

ThreadGate *CreateThreadGate()
{
    ThreadGate *p_gate = static_cast<ThreadGate *>(std::malloc(sizeof(ThreadGate)));
    if(p_gate) {
        InitializeSRWLock(&p_gate->lock);
        InitializeConditionVariable(&p_gate->changed);
    }
    return p_gate;
}

void DestroyThreadGate(ThreadGate *p_gate)
{
    std::free(p_gate);
}

void LockGate(ThreadGate &gate)
{
    AcquireSRWLockExclusive(&gate.lock);
}

void UnlockGate(ThreadGate &gate)
{
    ReleaseSRWLockExclusive(&gate.lock);
}

void WaitAtGate(ThreadGate &gate)
{
    SleepConditionVariableSRW(&gate.changed, &gate.lock, INFINITE, 0);
}

void WakeAtGate(ThreadGate &gate)
{
    WakeAllConditionVariable(&gate.changed);
}

unsigned n_UsableProcessors()
{
    DWORD_PTR n_process_mask = 0, n_system_mask = 0;
    if(!GetProcessAffinityMask(GetCurrentProcess(), &n_process_mask, &n_system_mask))
        return 1;
    unsigned n_count = 0;
    for(; n_process_mask; n_process_mask &= n_process_mask - 1)
        ++n_count;
    return n_count ? n_count : 1;
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

bool ResolveLink(const char *p_path, char *p_target, size_t n_target_size)
{
    struct stat info;
    if(lstat(p_path, &info) != 0 || !S_ISLNK(info.st_mode))
        return false;
    char *p_resolved = realpath(p_path, nullptr);
    if(!p_resolved)
        return false;
    const bool b_fits = std::strlen(p_resolved) < n_target_size;
    if(b_fits)
        std::strcpy(p_target, p_resolved);
    std::free(p_resolved);
    return b_fits;
}

bool b_IsWritableFile(const char *p_path)
{
    return access(p_path, W_OK) == 0;
}

FILE *CreateFileBeside(const char *p_path, char *p_created, size_t n_created_size)
{
    const char *p_slash = std::strrchr(p_path, '/');
    const char *p_base = p_slash ? p_slash + 1 : p_path;
    for(unsigned n_try = 0; n_try < 100; ++n_try) {
        const int n_written = std::snprintf(p_created, n_created_size, "%.*s.%s.%ld-%u.tarnwick", int(p_base - p_path),
                                            p_path, p_base, long(getpid()), n_try);
        if(n_written < 0 || size_t(n_written) >= n_created_size)
            return nullptr;
        // Mode 0666 less the umask: the permissions any new file gets here.
        const int n_descriptor = open(p_created, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if(n_descriptor >= 0) {
            FILE *p_file = fdopen(n_descriptor, "w");
            if(!p_file) {
                close(n_descriptor);
                std::remove(p_created);
            }
            return p_file;
        }
        if(errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

bool CopyPermissions(const char *p_from_path, FILE *p_file)
{
    struct stat info;
    return stat(p_from_path, &info) == 0 && fchmod(fileno(p_file), info.st_mode & 07777) == 0;
}

bool MoveFileOver(const char *p_from, const char *p_to)
{
    return std::rename(p_from, p_to) == 0;
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

namespace {

struct ThreadStart {
    void (*p_Run)(void *);
    void *p_context;
};

void *RunThreadStart(void *p_start)
{
    const ThreadStart start = *static_cast<ThreadStart *>(p_start);
    std::free(p_start);
    start.p_Run(start.p_context);
    return nullptr;
}

} // namespace

bool StartWorkerThread(void (*p_Run)(void *), void *p_context, WorkerThread &thread)
{
    ThreadStart *p_start = static_cast<ThreadStart *>(std::malloc(sizeof(ThreadStart)));
    pthread_t *p_thread = static_cast<pthread_t *>(std::malloc(sizeof(pthread_t)));
    if(p_start && p_thread) {
        *p_start = ThreadStart{p_Run, p_context};
        if(pthread_create(p_thread, nullptr, RunThreadStart, p_start) == 0) {
            thread.p_handle = p_thread;
            return true;
        }
    }
    std::free(p_start);
    std::free(p_thread);
    thread.p_handle = nullptr;
    return false;
}

void JoinWorkerThread(WorkerThread &thread)
{
    pthread_t *p_thread = static_cast<pthread_t *>(thread.p_handle);
    pthread_join(*p_thread, nullptr);
    std::free(p_thread);
    thread.p_handle = nullptr;
}

struct ThreadGate {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
};

ThreadGate *CreateThreadGate()
{
    ThreadGate *p_gate = static_cast<ThreadGate *>(std::malloc(sizeof(ThreadGate)));
    if(!p_gate)
        return nullptr;
    if(pthread_mutex_init(&p_gate->mutex, nullptr) != 0) {
        std::free(p_gate);
        return nullptr;
    }
    if(pthread_cond_init(&p_gate->changed, nullptr) != 0) {
        pthread_mutex_destroy(&p_gate->mutex);
        std::free(p_gate);
        return nullptr;
    }
    return p_gate;
}

void DestroyThreadGate(ThreadGate *p_gate)
{
    if(!p_gate)
        return;
    pthread_cond_destroy(&p_gate->changed);
    pthread_mutex_destroy(&p_gate->mutex);
    std::free(p_gate);
}

void LockGate(ThreadGate &gate)
{
    pthread_mutex_lock(&gate.mutex);
}

void UnlockGate(ThreadGate &gate)
{
    pthread_mutex_unlock(&gate.mutex);
}

void WaitAtGate(ThreadGate &gate)
{
    pthread_cond_wait(&gate.changed, &gate.mutex);
}

void WakeAtGate(ThreadGate &gate)
{
    pthread_cond_broadcast(&gate.changed);
}

unsigned n_UsableProcessors()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if(sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0)
        return unsigned(CPU_COUNT(&set));
#endif
    const long n_online = sysconf(_SC_NPROCESSORS_ONLN);
    return n_online > 0 ? unsigned(n_online) : 1;
}

#endif

} // namespace tarnwick
