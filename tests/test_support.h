// Helpers shared by the test programs: files, temporary folders, and running
// the built Tarnwick executable with its streams captured.
#ifndef TARNWICK_TESTS_TEST_SUPPORT_H
#define TARNWICK_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image.h"
#include "image_input.h"

namespace test {

using Bytes = std::vector<uint8_t>;

// The parts one after the other: bytes, pixels, items.
template <typename T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts)
{
    std::vector<T> all;
    for(const std::vector<T> &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// An Image that a loader returned, released with FreeImage.
struct ImageDeleter {
    void operator()(tarnwick::Image *p_image) const { tarnwick::FreeImage(p_image); }
};
using ImagePtr = std::unique_ptr<tarnwick::Image, ImageDeleter>;

// A RowSink (row_sink.h) that copies every row as it is when it is handed
// over; a withdrawal forgets them. Then the rows handed over can be checked
// against the Image the loader returns: rows must never change once final.
class RowRecorder {
public:
    RowRecorder();
    const tarnwick::RowSink *sink() const { return &m_sink; }
    // The rows handed over (and not withdrawn) equal the image's rows.
    ::testing::AssertionResult HandedOverRowsAreFinal(const tarnwick::Image &image) const;
    int32_t n_rows = 0;        // rows handed over since the last withdrawal
    int n_withdrawals = 0;
    bool b_counts_grew = true; // every call handed over more rows than the one before

private:
    static void OnRowsFinal(void *p_context, const tarnwick::Image &image, int32_t n_final_rows);
    static void OnRowsWithdrawn(void *p_context);
    tarnwick::RowSink m_sink;
    std::vector<uint32_t> m_rows;
    int32_t n_width = 0;
};

// Loads the picture at the path with the loader twice, with a RowRecorder
// and without; expects the same Image, and the rows handed over to be its
// rows. Returns the number of rows handed over (-1 when a load failed).
int32_t RowsHandedOverByLoader(tarnwick::ImageLoader p_load, const std::string &path);

// Whole file as bytes / as text (on Windows with CR LF read as '\n', as a
// text file); an empty result when it cannot be read.
Bytes ReadFileBytes(const std::string &path);
std::string ReadFileText(const std::string &path);
bool WriteFileBytes(const std::string &path, const Bytes &bytes);
bool WriteFileText(const std::string &path, const std::string &text);
bool FileExists(const std::string &path);
bool b_IsEmptyFolder(const std::string &path);
// Copies a file (a committed picture into a temporary folder, say).
bool CopyFile(const std::string &from_path, const std::string &to_path);

// A new temporary file open for reading and writing in binary mode, removed
// when closed; nullptr if it could not be made.
FILE *OpenTemporaryFile();

// A reader's InputStream over its own copy of the bytes, as a loader reads a
// picture that came from a pipe; position() is the bytes read so far.
class BytesStream {
public:
    explicit BytesStream(const Bytes &bytes) : m_bytes(bytes), m_stream(tarnwick::MemoryStream(m_bytes.data(), m_bytes.size())) {}
    BytesStream(const BytesStream &) = delete;
    BytesStream &operator=(const BytesStream &) = delete;
    tarnwick::InputStream &get() { return m_stream; }
    uint64_t position() const { return m_stream.n_position; }

private:
    Bytes m_bytes;
    tarnwick::InputStream m_stream;
};

// The bytes as a picture in memory, as a pipe's picture reaches a loader;
// an empty picture too (whose vector has no data pointer).
inline tarnwick::ImageInput MemoryInput(const Bytes &bytes, uint32_t n_frame = 0)
{
    static const uint8_t kNoByte = 0;
    tarnwick::ImageInput input = tarnwick::BytesInput(bytes.empty() ? &kNoByte : bytes.data(), bytes.size());
    input.n_frame = n_frame;
    return input;
}

// Path of a committed fixture under tests/fixtures.
std::string Fixture(const std::string &name);

// A fresh folder under /tmp (on Windows under the build's tests folder),
// removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string File(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct RunResult {
    int n_exit_status = -1000; // as the process returned it (0..255), or -1000 if it did not exit
    std::string out;           // standard output (on Windows as text: CR LF read as '\n')
    std::string err;           // standard error (likewise)
};

// Runs a program with the arguments (no shell), capturing both streams; in
// the folder when one is given.
RunResult Run(const std::vector<std::string> &argv, const std::string &folder = "");
// Runs a program built for the target machine (the built Tarnwick, or one
// that the tests compiled): on a cross build for another Linux machine under
// the emulator of TARNWICK_TARGET_LAUNCHER, otherwise as Run does.
RunResult RunTarget(const std::vector<std::string> &argv, const std::string &folder = "");
// Whether the tests can compile programs for the target (TARNWICK_CXX); not
// in a Windows build that runs under Wine.
bool b_CanCompileForTarget();
// Runs TARNWICK_CXX with the target's flags (TARNWICK_CXX_FLAGS) and then the
// arguments.
RunResult CompileForTarget(const std::vector<std::string> &args);
// Runs the built Tarnwick with the given arguments.
RunResult RunTarnwick(const std::vector<std::string> &args, const std::string &folder = "");
// The words that start the built Tarnwick (the emulator's first on a cross
// build), then the arguments: an argv for execv.
std::vector<std::string> TarnwickArgv(const std::vector<std::string> &args);
// The built Tarnwick as the start of a /bin/sh command line: its path in
// single quotes, after the emulator's words on a cross build.
std::string TarnwickCommand();
// A /bin/sh command that writes the file at source_path into the FIFO
// fifo_name in the background. It gives up after 60 seconds, so a reader
// that never opens the FIFO fails its test instead of stalling the suite.
std::string FeedFifoInBackground(const std::string &source_path, const std::string &fifo_name);
// Runs a command line through the system's shell (/bin/sh, or cmd.exe on
// Windows); returns its exit status.
int Shell(const std::string &command);

} // namespace test

#endif // TARNWICK_TESTS_TEST_SUPPORT_H
