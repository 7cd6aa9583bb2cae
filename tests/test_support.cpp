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

OpenBytesFile::OpenBytesFile(const Bytes &bytes) : m_p_file(std::tmpfile())
{
    if(m_p_file && ((!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_p_file) != bytes.size()) ||
                    std::fseek(m_p_file, 0, SEEK_SET) != 0)) {
        std::fclose(m_p_file);
        m_p_file = nullptr;
    }
}

OpenBytesFile::~OpenBytesFile()
{
    if(m_p_file)
        std::fclose(m_p_file);
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

RunResult RunTarget(const std::vector<std::string> &argv)
{
    std::vector<std::string> command = TargetLauncher();
    command.insert(command.end(), argv.begin(), argv.end());
    return Run(command);
}

RunResult RunTarnwick(const std::vector<std::string> &args)
{
    std::vector<std::string> argv{TARNWICK_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTarget(argv);
}

std::string TarnwickCommand()
{
    std::string command;
    for(const std::string &word : TargetLauncher())
        command += "'" + word + "' ";
    return command + "'" TARNWICK_EXE "'";
}

int Shell(const std::string &command)
{
    int n_status = std::system(command.c_str());
    return WIFEXITED(n_status) ? WEXITSTATUS(n_status) : -1;
}

} // namespace test
