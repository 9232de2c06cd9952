// Helpers shared by the tests: temporary directories, file bytes, running the real programs
// and capturing what in-process code prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support
{

// A fresh directory, removed with its contents at the end of the test.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// The names in a directory that start with '.' (temporary files), "." and ".." excepted,
// separated by blanks.
std::string HiddenEntries(const std::string& dir);
std::string ToString(const std::vector<uint8_t>& bytes);

// "00 0e ff" (blanks and newlines ignored) to bytes.
std::vector<uint8_t> Hex(const std::string& text);

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out, err;
    long peakKiB   = 0; // the program's peak resident memory
    double seconds = 0; // wall time
};

// Runs a program with arguments (argv[0] is the program path), feeding stdinData, in cwd when
// given. Returns after the program ends; a run that takes longer than timeoutSeconds is killed.
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& stdinData = "", const std::string& cwd = "",
              int timeoutSeconds = 120);

RunResult RunVarnel(const std::vector<std::string>& args, const std::string& stdinData = "",
                    const std::string& cwd = "");
RunResult RunCorbit(const std::vector<std::string>& args, const std::string& cwd = "");

// Runs varnel on a crafted disc file (written as name in a fresh directory, converted to JSON
// beside it) and checks that it fails, within a few seconds and a bounded peak memory, and
// writes nothing but an empty JSON file at most. Returns the run for further checks.
RunResult ExpectBoundedFailure(const std::vector<uint8_t>& bytes, const std::string& name);
// The peak memory such a run may reach.
long PeakLimitKiB();

// Captures what in-process code writes to standard output and standard error.
class CaptureOutput
{
  public:
    CaptureOutput();
    ~CaptureOutput();
    // Stops capturing (once) and returns what was written.
    void Stop();
    const std::string& Out()
    {
        Stop();
        return m_out;
    }
    const std::string& Err()
    {
        Stop();
        return m_err;
    }

  private:
    int m_savedOut = -1, m_savedErr = -1;
    std::string m_outPath, m_errPath, m_out, m_err;
    bool m_stopped = false;
};

// True when text is "<program> - version 2.20 (build: Mmm dd yyyy)" and a blank line; the
// day is padded with a blank, as the compiler's build date is.
bool IsBanner(const std::string& program, const std::string& text);
// Every banner that begins with head ("<Program> - version <v> (build: ") and has such a date,
// replaced by "<banner>".
std::string ReplaceBanners(std::string text, const std::string& head);

// The corpus of real disc files, or "" when it is not there.
std::string CorpusDir();

} // namespace testing_support
