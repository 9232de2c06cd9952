#include "tests/support/stream_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace testing_support
{

std::string H264Fixture(const std::string& name)
{
    return std::string(TEST_DATA_DIR) + "/h264/" + name + ".h264";
}

std::string Generate(const std::string& script, const std::string& dir)
{
    std::string prelude = "import sys\nsys.path.insert(0, '" + std::string(GEN_DIR) +
                          "')\nimport h264es as g\nFIXTURES = '" + TEST_DATA_DIR + "/h264'\n";
    RunResult r = Run("/usr/bin/python3", {"-c", prelude + script}, "", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

RunResult RunQuenby(const std::vector<std::string>& args, const std::string& cwd)
{
    return Run(QUENBY_EXE, args, "", cwd);
}

bool HaveProgram(const std::string& name)
{
    const char* path = getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

bool OraclesRequired()
{
    const char* v = getenv("BDMV_REQUIRE_ORACLES");
    return v && *v && std::string(v) != "0";
}

} // namespace testing_support
