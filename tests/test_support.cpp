// What differs between POSIX systems and Windows is here: temporary folders
// and starting a program with its streams captured.
#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#undef CopyFile // windows.h names CopyFileA so; test::CopyFile is ours
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace test {

#ifdef _WIN32
// Bytes that a program wrote in the C library's text mode, read as text: on
// Windows each '\n' is written as CR LF and read back as '\n'.
static std::string TextOfStream(const std::string &bytes)
{
    std::string text;
    for(size_t i = 0; i < bytes.size(); ++i)
        if(!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    return text;
}
#endif

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
#ifdef _WIN32
    return TextOfStream(std::string(bytes.begin(), bytes.end()));
#else
    return std::string(bytes.begin(), bytes.end());
#endif
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
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool b_IsEmptyFolder(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_empty(path, error) && !error;
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

#ifdef _WIN32
// The C runtime's tmpfile() names its files in a sequence that each process
// starts alike, so that tests running side by side fail to make one: here
// each name holds the process id, and _O_TEMPORARY removes the file when it
// is closed.
FILE *OpenTemporaryFile()
{
    static std::atomic<unsigned> n_made{0};
    std::error_code error;
    std::filesystem::create_directories(TARNWICK_TEMP_ROOT, error);
    for(int n_try = 0; n_try < 100; ++n_try) {
        const std::string path = std::string(TARNWICK_TEMP_ROOT) + "/tarnwick-file-" + std::to_string(_getpid()) + "-" +
                                 std::to_string(n_made++);
        const int n_file =
            _open(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY, _S_IREAD | _S_IWRITE);
        if(n_file < 0)
            continue;
        if(FILE *p_file = _fdopen(n_file, "w+b"))
            return p_file;
        _close(n_file);
    }
    return nullptr;
}
#else
FILE *OpenTemporaryFile()
{
    return std::tmpfile();
}
#endif

std::string Fixture(const std::string &name)
{
    return std::string(TARNWICK_FIXTURES) + "/" + name;
}

#ifdef _WIN32
// Under the build's tests folder (TARNWICK_TEMP_ROOT): under Wine the paths
// of the sources are paths on the drive of the build folder, and stay valid
// when a program runs in a temporary folder.
TempDir::TempDir()
{
    static std::atomic<unsigned> n_made{0};
    std::error_code error;
    std::filesystem::create_directories(TARNWICK_TEMP_ROOT, error);
    for(int n_try = 0; n_try < 100 && m_path.empty(); ++n_try) {
        const std::string path = std::string(TARNWICK_TEMP_ROOT) + "/tarnwick-test-" + std::to_string(_getpid()) + "-" +
                                 std::to_string(n_made++);
        if(std::filesystem::create_directory(path, error))
            m_path = path;
    }
    if(m_path.empty())
        m_path = TARNWICK_TEMP_ROOT;
}
#else
TempDir::TempDir()
{
    char pattern[] = "/tmp/tarnwick-test-XXXXXX";
    const char *p_made = mkdtemp(pattern);
    m_path = p_made ? p_made : "/tmp";
}
#endif

TempDir::~TempDir()
{
    std::error_code error;
    if(m_path.find("/tarnwick-test-") != std::string::npos)
        std::filesystem::remove_all(m_path, error);
}

#ifdef _WIN32
// One argument as the C runtime's command-line parser reads it back: quoted
// when it holds white space or a quote, with backslashes doubled before a
// quote.
static std::string QuotedArgument(const std::string &arg)
{
    if(!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    for(size_t i = 0;; ++i) {
        size_t n_backslashes = 0;
        for(; i < arg.size() && arg[i] == '\\'; ++i)
            ++n_backslashes;
        if(i == arg.size()) {
            quoted.append(2 * n_backslashes, '\\');
            break;
        }
        quoted.append(arg[i] == '"' ? 2 * n_backslashes + 1 : n_backslashes, '\\');
        quoted += arg[i];
    }
    return quoted + "\"";
}

// A file that a started program inherits as one of its streams.
static HANDLE InheritedFile(const std::string &path, bool b_write)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), b_write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, b_write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

RunResult Run(const std::vector<std::string> &argv, const std::string &folder)
{
    RunResult result;
    if(argv.empty())
        return result;
    TempDir streams;
    HANDLE p_in = InheritedFile("NUL", false);
    HANDLE p_out = InheritedFile(streams.File("out"), true);
    HANDLE p_err = InheritedFile(streams.File("err"), true);
    std::string command_line;
    for(const std::string &arg : argv)
        command_line += (command_line.empty() ? "" : " ") + QuotedArgument(arg);
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = p_in;
    startup.hStdOutput = p_out;
    startup.hStdError = p_err;
    PROCESS_INFORMATION process = {};
    if(p_in != INVALID_HANDLE_VALUE && p_out != INVALID_HANDLE_VALUE && p_err != INVALID_HANDLE_VALUE &&
       CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD n_code = 0;
        // The low 8 bits, as a POSIX shell sees an exit status: -1 is 255.
        if(GetExitCodeProcess(process.hProcess, &n_code))
            result.n_exit_status = int(n_code & 0xff);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for(HANDLE p_handle : {p_in, p_out, p_err})
        if(p_handle != INVALID_HANDLE_VALUE)
            CloseHandle(p_handle);
    result.out = ReadFileText(streams.File("out"));
    result.err = ReadFileText(streams.File("err"));
    return result;
}
#else
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

RunResult Run(const std::vector<std::string> &argv, const std::string &folder)
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
        if(!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(127);
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
#endif

// The words of a command joined with '|' (TARNWICK_TARGET_LAUNCHER,
// TARNWICK_CXX_FLAGS); none for "".
static std::vector<std::string> JoinedWords(const std::string &joined)
{
    std::vector<std::string> words;
    for(size_t n_at = 0; n_at < joined.size();) {
        const size_t n_end = std::min(joined.find('|', n_at), joined.size());
        words.push_back(joined.substr(n_at, n_end - n_at));
        n_at = n_end + 1;
    }
    return words;
}

static std::vector<std::string> TargetLauncher()
{
    return JoinedWords(TARNWICK_TARGET_LAUNCHER);
}

bool b_CanCompileForTarget()
{
    return std::string(TARNWICK_CXX) != "";
}

RunResult CompileForTarget(const std::vector<std::string> &args)
{
    std::vector<std::string> command{TARNWICK_CXX};
    const std::vector<std::string> flags = JoinedWords(TARNWICK_CXX_FLAGS);
    command.insert(command.end(), flags.begin(), flags.end());
    command.insert(command.end(), args.begin(), args.end());
    return Run(command);
}

RunResult RunTarget(const std::vector<std::string> &argv, const std::string &folder)
{
    std::vector<std::string> command = TargetLauncher();
    command.insert(command.end(), argv.begin(), argv.end());
    return Run(command, folder);
}

RunResult RunTarnwick(const std::vector<std::string> &args, const std::string &folder)
{
    std::vector<std::string> argv{TARNWICK_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTarget(argv, folder);
}

std::vector<std::string> TarnwickArgv(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = TargetLauncher();
    argv.push_back(TARNWICK_EXE);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::string TarnwickCommand()
{
    std::string command;
    for(const std::string &word : TargetLauncher())
        command += "'" + word + "' ";
    return command + "'" TARNWICK_EXE "'";
}

std::string FeedFifoInBackground(const std::string &source_path, const std::string &fifo_name)
{
    return "{ timeout 60 sh -c \"cat '" + source_path + "' >'" + fifo_name + "'\" </dev/null 2>/dev/null & }";
}

int Shell(const std::string &command)
{
    int n_status = std::system(command.c_str());
#ifdef _WIN32
    return n_status;
#else
    return WIFEXITED(n_status) ? WEXITSTATUS(n_status) : -1;
#endif
}

} // namespace test
