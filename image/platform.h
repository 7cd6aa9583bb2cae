// What differs between the systems and compilers Tarnwick builds on, in one
// place. Everything else in the program is plain standard C++.
//
// Inline here: the host's byte order, byte swaps and bit scans (compiler
// builtins where the compiler has them, plain code otherwise; both give the
// same results). In platform.cpp, written once against POSIX and once against
// Win32: what a path names (a regular file and its size, a symbolic link,
// something else), whether two paths or a path and an open file are the same
// file, and the large blocks of memory_block.h (mapped pages).
#ifndef TARNWICK_IMAGE_PLATFORM_H
#define TARNWICK_IMAGE_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#include <stdlib.h>
#endif

namespace tarnwick {

// The host's byte order, for the few places that store several bytes as one
// word (item digits, 8-byte loads of entropy-coded data). Every Windows
// target is little-endian; GCC and Clang say what theirs is.
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__)
constexpr bool kBigEndianHost = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
#elif defined(_WIN32)
constexpr bool kBigEndianHost = false;
#else
#error "the host's byte order is unknown: this compiler does not define __BYTE_ORDER__"
#endif

inline uint32_t n_ByteSwap32(uint32_t n_value)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap32(n_value);
#elif defined(_MSC_VER)
    return _byteswap_ulong(n_value);
#else
    return (n_value >> 24) | ((n_value >> 8) & 0xFF00u) | ((n_value << 8) & 0xFF0000u) | (n_value << 24);
#endif
}

inline uint64_t n_ByteSwap64(uint64_t n_value)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(n_value);
#elif defined(_MSC_VER)
    return _byteswap_uint64(n_value);
#else
    return uint64_t(n_ByteSwap32(uint32_t(n_value))) << 32 | n_ByteSwap32(uint32_t(n_value >> 32));
#endif
}

// The eight bytes at p_bytes as one number, the first byte the most
// significant: one load (and a swap on little-endian hosts).
inline uint64_t n_LoadBigEndian64(const uint8_t *p_bytes)
{
    uint64_t n_value;
    std::memcpy(&n_value, p_bytes, 8);
    return kBigEndianHost ? n_value : n_ByteSwap64(n_value);
}

// The four bytes at p_bytes as one number, the first byte the least
// significant.
inline uint32_t n_LoadLittleEndian32(const uint8_t *p_bytes)
{
    uint32_t n_value;
    std::memcpy(&n_value, p_bytes, 4);
    return kBigEndianHost ? n_ByteSwap32(n_value) : n_value;
}

// Keeps a rarely called function out of a hot loop.
#if defined(__GNUC__) || defined(__clang__)
#define TARNWICK_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define TARNWICK_NOINLINE __declspec(noinline)
#else
#define TARNWICK_NOINLINE
#endif

// The number of zero bits below the lowest set bit; n_value must not be 0.
inline int n_CountTrailingZeros32(uint32_t n_value)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(n_value);
#elif defined(_MSC_VER)
    unsigned long n_index;
    _BitScanForward(&n_index, n_value);
    return int(n_index);
#else
    int n_count = 0;
    for(; !(n_value & 1u); n_value >>= 1)
        ++n_count;
    return n_count;
#endif
}

inline int n_CountTrailingZeros64(uint64_t n_value)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(n_value);
#else
    const uint32_t n_low = uint32_t(n_value);
    return n_low ? n_CountTrailingZeros32(n_low) : 32 + n_CountTrailingZeros32(uint32_t(n_value >> 32));
#endif
}

// What a path names, as far as reading a picture from it goes. Symbolic links
// are followed.
enum class FileKind : uint8_t {
    kMissing, // nothing, or nothing the program may look at
    kRegular, // a regular file: its size is known, and it can be opened again
    kOther,   // a pipe, FIFO, terminal, device or directory: read it once
};

struct FileInfo {
    FileKind kind;
    uint64_t n_size; // bytes of a regular file; 0 otherwise
};

FileInfo QueryFile(const char *p_path);

// A file's identity: the volume and the file's number on it. Two paths (or a
// path and an open file) name one file when both are known and equal. Not
// known when the system cannot tell (then nothing is taken to be the same).
struct FileIdentity {
    bool b_known;
    uint64_t n_volume;
    uint64_t n_file;
};

// Of the file a path names, symbolic links followed.
FileIdentity IdentifyPath(const char *p_path);
// Of an open file.
FileIdentity IdentifyOpenFile(FILE *p_file);
inline bool b_SameFile(const FileIdentity &a, const FileIdentity &b)
{
    return a.b_known && b.b_known && a.n_volume == b.n_volume && a.n_file == b.n_file;
}

// What a path itself names, without following a symbolic link at its end.
enum class PathKind : uint8_t { kMissing, kRegular, kLink, kOther, kUnknown };
// And the identity of that entry (the link itself for a link).
PathKind InspectPath(const char *p_path, FileIdentity *p_identity);

// Writing a file whole or not at all: a new file is made beside the one to
// replace and moved over it once complete.

// Into p_target (n_target_size bytes), the file that a symbolic link at
// p_path finally names, as an absolute path; false when p_path is no link,
// the link leads nowhere, or the path does not fit.
bool ResolveLink(const char *p_path, char *p_target, size_t n_target_size);
// Whether the file at p_path may be opened for writing by this process.
bool b_IsWritableFile(const char *p_path);
// Creates a new, empty file in the folder of p_path under a name that no
// other file there has (a hidden name made from p_path's own), opened for
// writing in text mode, with the permissions a new file gets there; its
// path goes to p_created (n_created_size bytes). nullptr when the folder
// does not allow it or the name does not fit.
FILE *CreateFileBeside(const char *p_path, char *p_created, size_t n_created_size);
// Gives the open file the permission bits of the file at p_from_path.
bool CopyPermissions(const char *p_from_path, FILE *p_file);
// Moves the file at p_from over p_to in one step: a reader of p_to sees
// the old file or the new one, never a mixture. p_to may exist.
bool MoveFileOver(const char *p_from, const char *p_to);

// Pages straight from the system: n_bytes (a multiple of n_alignment, which
// is a power of two of at least the page size) at an address aligned to
// n_alignment, every byte 0, marked for huge pages where the system has them;
// nullptr when they cannot be had. Released with UnmapPages and the same
// n_bytes.
void *MapPages(size_t n_bytes, size_t n_alignment);
void UnmapPages(void *p_pages, size_t n_bytes);

// A second thread of the process: p_Run(p_context) runs on it from
// StartWorkerThread's return until it returns; JoinWorkerThread waits for
// that and releases the thread. StartWorkerThread is false when the system
// will not start one (nothing runs then).
struct WorkerThread {
    void *p_handle;
};
bool StartWorkerThread(void (*p_Run)(void *p_context), void *p_context, WorkerThread &thread);
void JoinWorkerThread(WorkerThread &thread);

// A mutex with one condition that the threads wait on: LockGate and
// UnlockGate around the shared state; WaitAtGate (with the gate locked)
// releases it until another thread calls WakeAtGate, then locks it again
// (it may also return without one: wait in a loop on the state); WakeAtGate
// wakes every waiting thread. nullptr from CreateThreadGate when the system
// has none to give.
struct ThreadGate;
ThreadGate *CreateThreadGate();
void DestroyThreadGate(ThreadGate *p_gate);
void LockGate(ThreadGate &gate);
void UnlockGate(ThreadGate &gate);
void WaitAtGate(ThreadGate &gate);
void WakeAtGate(ThreadGate &gate);

// The processors this process may run on (its affinity: `taskset -c 0`
// gives 1), at least 1.
unsigned n_UsableProcessors();

} // namespace tarnwick

#endif // TARNWICK_IMAGE_PLATFORM_H
