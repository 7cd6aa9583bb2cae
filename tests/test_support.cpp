#include "test_support.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

Bytes ReadFileBytes(const std::string &path)
{
    Bytes bytes;
    FILE *p_file = std::fopen(path.c_str(), "rb");
    if(!p_file)
        return bytes;
    uint8_t block[65536];
    size_t n_read;
    while((n_read = std::fread(block, 1, sizeof(block), p_file)) > 0)
        bytes.insert(bytes.end(), block, block + n_read);
    std::fclose(p_file);
    return bytes;
}

std::string ReadFileText(const std::string &path)
{
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteFileBytes(const std::string &path, const Bytes &bytes)
{
    FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    bool b_ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), p_file) == bytes.size();
    return std::fclose(p_file) == 0 && b_ok;
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    return WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

bool FileExists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool CopyFile(const std::string &from_path, const std::string &to_path)
{
    const Bytes bytes = ReadFileBytes(from_path);
    return !bytes.empty() && WriteFileBytes(to_path, bytes);
}

RowRecorder::RowRecorder() : m_sink{this, OnRowsFinal, OnRowsWithdrawn} {}

void RowRecorder::OnRowsFinal(void *p_context, const tarnwick::Image &image, int32_t n_final_rows)
{
    RowRecorder &recorder = *static_cast<RowRecorder *>(p_context);
    recorder.b_counts_grew &= n_final_rows > recorder.n_rows && n_final_rows <= image.n_height;
    recorder.n_width = image.n_width;
    const size_t n_from = size_t(recorder.n_rows) * size_t(image.n_width);
    const size_t n_to = size_t(n_final_rows) * size_t(image.n_width);
    if(n_to > n_from)
        recorder.m_rows.insert(recorder.m_rows.end(), image.p_buffer + n_from, image.p_buffer + n_to);
    recorder.n_rows = n_final_rows;
}

void RowRecorder::OnRowsWithdrawn(void *p_context)
{
    RowRecorder &recorder = *static_cast<RowRecorder *>(p_context);
    recorder.m_rows.clear();
    recorder.n_rows = 0;
    ++recorder.n_withdrawals;
}

::testing::AssertionResult RowRecorder::HandedOverRowsAreFinal(const tarnwick::Image &image) const
{
    if(!b_counts_grew)
        return ::testing::AssertionFailure() << "a hand-over did not add rows";
    if(n_rows && n_width != image.n_width)
        return ::testing::AssertionFailure() << "rows of another width were handed over";
    for(size_t i = 0; i < m_rows.size(); ++i)
        if(m_rows[i] != image.p_buffer[i])
            return ::testing::AssertionFailure() << "pixel " << i << " of row " << i / size_t(image.n_width)
                                                 << " changed after it was handed over";
    return ::testing::AssertionSuccess();
}

int32_t RowsHandedOverByLoader(tarnwick::ImageLoader p_load, const std::string &path)
{
    tarnwick::ImageInput input;
    tarnwick::LoadFailure failure;
    if(!tarnwick::OpenImageInput(path.c_str(), input, failure))
        return -1;
    RowRecorder recorder;
    const ImagePtr p_plain(p_load(input, &failure));
    input.p_row_sink = recorder.sink();
    const ImagePtr p_streamed(p_load(input, &failure));
    tarnwick::ReleaseImageInput(input);
    if(!p_plain || !p_streamed)
        return -1;
    EXPECT_TRUE(p_plain->n_width == p_streamed->n_width && p_plain->n_height == p_streamed->n_height) << path;
    EXPECT_TRUE(std::equal(p_plain->p_buffer, p_plain->p_buffer + n_PixelCount(*p_plain), p_streamed->p_buffer))
        << path << ": the Image differs when rows are handed over";
    EXPECT_TRUE(recorder.HandedOverRowsAreFinal(*p_streamed)) << path;
    return recorder.n_rows;
}

std::string Fixture(const std::string &name)
{
    return std::string(TARNWICK_FIXTURES) + "/" + name;
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/tarnwick-test-XXXXXX";
    const char *p_made = mkdtemp(pattern);
    m_path = p_made ? p_made : "/tmp";
}

TempDir::~TempDir()
{
    if(m_path != "/tmp")
        Shell("rm -rf '" + m_path + "'");
}

static std::string DrainFile(FILE *p_file)
{
    std::string text;
    std::rewind(p_file);
    char block[65536];
    size_t n_read;
    while((n_read = std::fread(block, 1, sizeof(block), p_file)) > 0)
        text.append(block, n_read);
    return text;
}

RunResult Run(const std::vector<std::string> &argv)
{
    RunResult result;
    FILE *p_out = std::tmpfile();
    FILE *p_err = std::tmpfile();
    if(!p_out || !p_err || argv.empty()) {
        if(p_out)
            std::fclose(p_out);
        if(p_err)
            std::fclose(p_err);
        return result;
    }
    std::vector<char *> args;
    for(const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = fork();
    if(pid == 0) {
        int n_null = open("/dev/null", O_RDONLY);
        dup2(n_null, 0);
        dup2(fileno(p_out), 1);
        dup2(fileno(p_err), 2);
        execv(args[0], args.data());
        _exit(127);
    }
    int n_status = 0;
    if(pid > 0 && waitpid(pid, &n_status, 0) == pid && WIFEXITED(n_status))
        result.n_exit_status = WEXITSTATUS(n_status);
    result.out = DrainFile(p_out);
    result.err = DrainFile(p_err);
    std::fclose(p_out);
    std::fclose(p_err);
    return result;
}

RunResult RunTarnwick(const std::vector<std::string> &args)
{
    std::vector<std::string> argv{TARNWICK_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

int Shell(const std::string &command)
{
    int n_status = std::system(command.c_str());
    return WIFEXITED(n_status) ? WEXITSTATUS(n_status) : -1;
}

} // namespace test
