// Helpers for the stream-tool tests: the fixture streams, the Python stream generator
// (tests/gen) and the stream programs.
#pragma once

#include "tests/support/test_support.h"

#include <string>
#include <vector>

namespace testing_support
{

// The path of a fixture stream of tests/data/h264 ("base" is base.h264).
std::string H264Fixture(const std::string& name);

// Runs a Python script in dir with the generator imported as g, FIXTURES naming the fixture
// directory; returns what it printed. The test fails when the script does.
std::string Generate(const std::string& script, const std::string& dir);

RunResult RunQuenby(const std::vector<std::string>& args, const std::string& cwd = "");

// True when name is an executable on the PATH.
bool HaveProgram(const std::string& name);
// True when the independent oracles (ffprobe) must run rather than skip: set in CI through
// BDMV_REQUIRE_ORACLES.
bool OraclesRequired();

} // namespace testing_support
