// The sample playlist the README converts is the test writer's sample playlist.
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace testing_support;

TEST(BundledSample, IsTheWritersSamplePlaylistAndConverts)
{
    const std::string path      = std::string(TEST_DATA_DIR) + "/sample.mpls";
    std::vector<uint8_t> sample = mpls_writer::PlaylistFile(mpls_writer::SamplePlaylist());
    if (getenv("BDMV_WRITE_SAMPLE"))
        WriteFile(path, sample);
    EXPECT_EQ(ReadFile(path), ToString(sample)) << "regenerate with BDMV_WRITE_SAMPLE=1";
    RunResult r = RunVarnel({path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\n    \"MPLS\": {", 0), 0u);
}
