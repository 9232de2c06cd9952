#include "tests/support/test_support.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace testing_support
{

TempDir::TempDir()
{
    const char* base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/bdmvtest.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempDir::~TempDir()
{
    std::string cmd = "rm -rf '" + m_path + "'";
    if (system(cmd.c_str()) != 0) {
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    WriteFile(path, ToString(bytes));
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string HiddenEntries(const std::string& dir)
{
    std::string names;
    DIR* d = opendir(dir.c_str());
    for (struct dirent* e; d && (e = readdir(d)) != nullptr;) {
        std::string name = e->d_name;
        if (name[0] == '.' && name != "." && name != "..")
            names += (names.empty() ? "" : " ") + name;
    }
    if (d)
        closedir(d);
    return names;
}

std::string ToString(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> out;
    int nibble = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (nibble < 0)
            nibble = v;
        else {
            out.push_back(uint8_t(nibble << 4 | v));
            nibble = -1;
        }
    }
    return out;
}

static void Drain(int fd, std::string& into)
{
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0)
        into.append(buf, size_t(n));
}

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& stdinData, const std::string& cwd, int timeoutSeconds)
{
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err))
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);

    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    size_t written   = 0;
    int inFd         = in[1];
    if (stdinData.empty()) {
        close(inFd);
        inFd = -1;
    } else
        fcntl(inFd, F_SETFL, O_NONBLOCK);
    bool outOpen = true, errOpen = true;
    time_t deadline = time(nullptr) + timeoutSeconds;
    while (outOpen || errOpen) {
        struct pollfd fds[3];
        int n = 0;
        if (outOpen)
            fds[n++] = {out[0], POLLIN, 0};
        if (errOpen)
            fds[n++] = {err[0], POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        if (poll(fds, nfds_t(n), 1000) < 0 && errno != EINTR)
            break;
        if (time(nullptr) > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, stdinData.data() + written, stdinData.size() - written);
                if (w > 0)
                    written += size_t(w);
                if (w < 0 || written == stdinData.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            std::string& into = fds[i].fd == out[0] ? result.out : result.err;
            size_t before     = into.size();
            Drain(fds[i].fd, into);
            if (into.size() == before) {
                if (fds[i].fd == out[0])
                    outOpen = false;
                else
                    errOpen = false;
            }
        }
    }
    if (inFd >= 0)
        close(inFd);
    close(out[0]);
    close(err[0]);
    int status          = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    result.peakKiB = usage.ru_maxrss;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

RunResult RunVarnel(const std::vector<std::string>& args, const std::string& stdinData,
                    const std::string& cwd)
{
    return Run(VARNEL_EXE, args, stdinData, cwd);
}

// The element budget keeps a crafted file's peak near 150 MiB; AddressSanitizer's redzones
// and quarantine of freed memory multiply that.
#ifdef __SANITIZE_ADDRESS__
static const long kPeakLimitKiB = 1024L * 1024;
#else
static const long kPeakLimitKiB = 256L * 1024;
#endif

long PeakLimitKiB() { return kPeakLimitKiB; }

RunResult ExpectBoundedFailure(const std::vector<uint8_t>& bytes, const std::string& name)
{
    TempDir dir;
    WriteFile(dir.File(name), bytes);
    RunResult r = RunVarnel({dir.File(name), dir.File("out.json")});
    EXPECT_NE(r.status, 0) << name << ": " << r.err;
    EXPECT_LT(r.seconds, 20.0) << name;
    EXPECT_LT(r.peakKiB, kPeakLimitKiB) << name;
    // No sample or other files beyond the input and an empty JSON output.
    DIR* d = opendir(dir.Path().c_str());
    for (struct dirent* e; d && (e = readdir(d)) != nullptr;) {
        std::string entry = e->d_name;
        if (entry == "." || entry == ".." || entry == name)
            continue;
        EXPECT_TRUE(entry == "out.json" && ReadFile(dir.File(entry)).empty())
            << name << " left " << entry;
    }
    if (d)
        closedir(d);
    return r;
}

RunResult RunCorbit(const std::vector<std::string>& args, const std::string& cwd)
{
    return Run(CORBIT_EXE, args, "", cwd);
}

CaptureOutput::CaptureOutput()
{
    fflush(stdout);
    fflush(stderr);
    char outTmpl[] = "/tmp/capout.XXXXXX";
    char errTmpl[] = "/tmp/caperr.XXXXXX";
    int outFd      = mkstemp(outTmpl);
    int errFd      = mkstemp(errTmpl);
    m_outPath      = outTmpl;
    m_errPath      = errTmpl;
    m_savedOut     = dup(1);
    m_savedErr     = dup(2);
    dup2(outFd, 1);
    dup2(errFd, 2);
    close(outFd);
    close(errFd);
}

void CaptureOutput::Stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    fflush(stdout);
    fflush(stderr);
    dup2(m_savedOut, 1);
    dup2(m_savedErr, 2);
    close(m_savedOut);
    close(m_savedErr);
    m_out = ReadFile(m_outPath);
    m_err = ReadFile(m_errPath);
    unlink(m_outPath.c_str());
    unlink(m_errPath.c_str());
}

CaptureOutput::~CaptureOutput() { Stop(); }

// "Mmm dd yyyy", the day padded with a blank, as the compiler's build date is.
static bool IsBuildDate(const char* date)
{
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return isupper(date[0]) && islower(date[1]) && islower(date[2]) && date[3] == ' ' &&
           (date[4] == ' ' || digit(date[4])) && digit(date[5]) && date[6] == ' ' &&
           digit(date[7]) && digit(date[8]) && digit(date[9]) && digit(date[10]);
}

std::string ReplaceBanners(std::string text, const std::string& head)
{
    const std::string tail = ")\n\n";
    for (size_t at = 0; (at = text.find(head, at)) != std::string::npos; ++at) {
        size_t end = at + head.size() + 11;
        if (end + tail.size() <= text.size() && IsBuildDate(text.c_str() + at + head.size()) &&
            text.compare(end, tail.size(), tail) == 0)
            text.replace(at, end + tail.size() - at, "<banner>");
    }
    return text;
}

bool IsBanner(const std::string& program, const std::string& text)
{
    return ReplaceBanners(text, program + " - version 2.20 (build: ") == "<banner>";
}

std::string CorpusDir()
{
    const char* env = getenv("BDMV_CORPUS");
    std::string dir = env && *env ? env : CORPUS_DIR;
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? dir : std::string();
}

} // namespace testing_support
