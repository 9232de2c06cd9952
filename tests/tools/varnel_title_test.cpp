// Varnel on index.bdmv and MovieObject.bdmv end to end: exact JSON and padding.
#include "tests/disc/title_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace title_writer;

namespace
{

MovieObjects SmallObjects()
{
    MovieObjects m;
    m.objects = {MovieObject{1, 0, 0, 0, {{Op(1, 0, 1, 0, 0, 1), 2, 0}}}};
    return m;
}

Index SmallIndex()
{
    Index x;
    x.first.playback = 1;
    x.top.objectType = 2, x.top.name = "00000";
    x.titles = {Title()};
    x.ext    = {{3, 1, {0, 0, 0, 8}}};
    return x;
}

} // namespace

TEST(VarnelTitle, MovieObjectJsonText)
{
    TempDir dir;
    WriteFile(dir.File("MovieObject.bdmv"), MovieObjectFile(SmallObjects()));
    RunResult r = RunVarnel({dir.File("MovieObject.bdmv")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(r.out, doc));
    EXPECT_EQ(CompactText(doc),
              R"({"MOBJ":{"version_number":"0200","reserved_header":[0],"MovieObjects":[{)"
              R"("resume_intention_flag":1,"menu_call_mask":0,"title_search_mask":0,)"
              R"("reserved01":0,"NavigationCommand":[{"operation_code":553713664,"operand_1":2,)"
              R"("operand_2":0,"command":"Jump_Title reg_2"}]}]}})");
}

TEST(VarnelTitle, IndexJsonMembersInOrder)
{
    TempDir dir;
    WriteFile(dir.File("index.bdmv"), IndexFile(SmallIndex()));
    RunResult r = RunVarnel({dir.File("index.bdmv")});
    ASSERT_EQ(r.status, 0) << r.err;
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(r.out, doc));
    const std::string title = R"("object_type":1,"access_type":0,"reserved01":0,"playback_type":)";
    EXPECT_EQ(CompactText(doc),
              R"({"INDX":{"version_number":"0200","reserved_header":[0],"AppInfoBDMV":{)"
              R"("reserved01":0,"initial_output_mode_preference":0,"SS_content_exist_flag":0,)"
              R"("reserved02":0,"video_format":"1080p","frame_rate":"23.976",)"
              R"("content_provider_user_data":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,)"
              R"(0,0,0,0,0,0,0]},"Indexes":{"FirstPlayback":{)" +
                  title +
                  R"(1,"reserved02":0,"mobj_id_ref":0,"reserved03":0},"TopMenu":{"object_type":2,)"
                  R"("access_type":0,"reserved01":0,"playback_type":0,"reserved02":0,)"
                  R"("bdjo_file_name":"00000","reserved03":0},"Title":[{)" +
                  title +
                  R"(0,"reserved02":0,"mobj_id_ref":0,"reserved03":0}]},)"
                  R"("ExtensionData":[{"ID1":3,"ID2":1,"data_block":[0,0,0,8]}]}})");
}

TEST(VarnelTitle, PaddingAlignsSectionsTo16)
{
    TempDir dir;
    Index x                   = SmallIndex();
    MovieObjects m            = SmallObjects();
    m.ext                     = {{3, 7, {1}}};
    const std::string names[] = {"index.bdmv", "MovieObject.bdmv"};
    for (const std::string& name : names) {
        bool index = name == "index.bdmv";
        WriteFile(dir.File(name), index ? IndexFile(x) : MovieObjectFile(m));
        x.padding = m.padding = 16;
        std::string json      = RunVarnel({dir.File(name)}).out;
        RunResult r = RunVarnel({"-reverse", "-", "-padding", "16", dir.File("p.bin")}, json);
        ASSERT_EQ(r.status, 0) << r.err;
        // The writer pads every section to 16 bytes from the file start, the file's end too.
        EXPECT_EQ(ReadFile(dir.File("p.bin")), ToString(index ? IndexFile(x) : MovieObjectFile(m)));
        EXPECT_EQ(RunVarnel({dir.File("p.bin")}).out, json);
        x.padding = m.padding = 0;
    }
}
