// BD-J object files in process: layout, JSON form and order, message chains, refusals and
// hostile input.
#include "tests/disc/bdjo/bdjo_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace bdjo_writer;
using namespace testing_support;

namespace
{

// Two applications: one with profiles, names and parameters, one with none of them. Strings
// hold zero bytes, which JSON keeps.
Bdjo TwoApps()
{
    Bdjo b;
    b.reservedHeader[3] = 5;
    b.font = "*****", b.mouse = 1, b.outputMode = 2, b.frameRate = 4, b.terminalReserved = 3;
    b.cache     = {{1, "00000", "*.*", ""}, {2, "00001", "eng", "x"}};
    b.autostart = 1, b.playlistsReserved = 9;
    b.playlists = {"00001", "00002"};
    App a;
    a.profiles = {{1, 1, 0, 0}, {2, 1, 2, 3}};
    a.priority = 3, a.binding = 2, a.visibility = 1;
    a.names = {{"eng", std::string("G\0me", 4)}, {"fra", "Jeu"}};
    a.icon = std::string("i\0on", 4), a.iconFlags = 0x10;
    a.base = "00000", a.classpath = "/00000", a.initial = std::string("M\0in", 4);
    a.params = {"a", std::string("b\0", 2)};
    App plain;
    plain.control = 2, plain.type = 2, plain.org = 0x56789ABC, plain.id = 0x4001;
    plain.initial = "org.Xlet";
    b.apps        = {a, plain};
    b.keys        = 0xF0000000;
    b.path        = std::string("ADV\0OBJ", 7);
    return b;
}

} // namespace

TEST(Bdjo, TwoApplicationsRoundTripWithTheirJsonInOrder)
{
    const std::vector<uint8_t> bytes = BdjoFile(TwoApps());
    EXPECT_EQ(ThroughJson(bytes), bytes);
    const std::string app2 =
        R"({"application_control_code":2,"application_type":2,"application_identifier":)"
        R"({"xlet_organization_id":1450744508,"application_id":16385},"application_descriptor":)"
        R"({"descriptor_tag":0,"reserved01":0,"application_priority":1,"application_binding":0,)"
        R"("visibility":0,"application_name":[],"application_icon_locator":"",)"
        R"("application_icon_flags":0,"base_directory":"","classpath_extension":"",)"
        R"("initial_class_name":"org.Xlet","parameter":[]}})";
    EXPECT_EQ(
        FileToJson(bytes).json,
        R"({"BDJO":{"version_number":"0200","reserved_header":[0,0,0,5],"TerminalInfo":{)"
        R"("default_font_file_name":"*****","initial_HAVi_configuration_id":1,"menu_call_mask":0,)"
        R"("Title_search_mask":0,"mouse_supported":1,"mouse_interest":0,"initial_output_mode":2,)"
        R"("initial_frame_rate":4,"reserved01":3},"AppCacheInfo":[{"entry_type":1,)"
        R"("ref_to_name":"00000","language_code":"*.*","reserved":""},{"entry_type":2,)"
        R"("ref_to_name":"00001","language_code":"eng","reserved":"x"}],)"
        R"("TableOfAccessiblePlayLists":{"access_to_all_flag":0,"autostart_first_PlayList_flag":1,)"
        R"("reserved":9,"AccessiblePlayLists":["00001","00002"]},"ApplicationManagementTable":[{)"
        R"("application_control_code":1,"application_type":1,"application_identifier":{)"
        R"("xlet_organization_id":1,"application_id":16384},"application_descriptor":{)"
        R"("descriptor_tag":0,"reserved01":0,"application_profile":[{"application_profile":1,)"
        R"("version_major":1,"version_minor":0,"version_micro":0},{"application_profile":2,)"
        R"("version_major":1,"version_minor":2,"version_micro":3}],"application_priority":3,)"
        R"("application_binding":2,"visibility":1,"application_name":[{"language_code":"eng",)"
        R"("name":"G\u0000me"},{"language_code":"fra","name":"Jeu"}],"application_icon_locator":)"
        R"("i\u0000on","application_icon_flags":16,"base_directory":"00000","classpath_extension":)"
        R"("/00000","initial_class_name":"M\u0000in","parameter":["a","b\u0000"]}},)" +
            app2 +
            R"(],"KeyInterestTable":{"VK_PLAY":1,"VK_STOP":1,"VK_FAST_FWD":1,"VK_REWIND":1,)"
            R"("VK_TRACK_NEXT":0,"VK_TRACK_PREV":0,"VK_PAUSE":0,"VK_STILL_OFF":0,)"
            R"("VK_SECONDARY_AUDIO_ENABLE_DISABLE":0,"VK_SECONDARY_VIDEO_ENABLE_DISABLE":0,)"
            R"("VK_PG_TEXTST_ENABLE_DISABLE":0,"reserved":0},"FileAccessInfo":{)"
            R"("directory_path":"ADV\u0000OBJ"}}})");

    // The cache block's reserved byte survives a build from the file, not a trip through JSON.
    Bdjo kept          = TwoApps();
    kept.cacheReserved = 0x5A;
    CBDMV bdmv;
    ASSERT_EQ(Parsed(bdmv, BdjoFile(kept)).rc, 0);
    EXPECT_EQ(Built(bdmv).bytes, BdjoFile(kept));
    EXPECT_EQ(ThroughJson(BdjoFile(kept)), bytes);
}

TEST(Bdjo, HeaderAddressesAndPadding)
{
    // TerminalInfo is read right after the header whatever its address; 0 means no block.
    Bdjo b                     = TwoApps();
    std::vector<uint8_t> moved = BdjoFile(b), none = BdjoFile(b);
    moved[11] = 0x99, none[11] = 0;
    EXPECT_EQ(ThroughJson(moved), BdjoFile(b));
    b.font = std::string(5, '\0'),
    b.havi = b.mouse = b.outputMode = b.frameRate = b.terminalReserved = 0;
    EXPECT_EQ(ThroughJson(none), BdjoFile(b));

    // Padding aligns every block after TerminalInfo, and the end, to 16 bytes.
    const std::string json = FileToJson(BdjoFile(TwoApps())).json;
    b                      = TwoApps();
    b.padding              = 16;
    EXPECT_EQ(JsonToFile(json, 16).bytes, BdjoFile(b));

    // JSON without a cache list or applications builds both blocks empty.
    b       = TwoApps();
    b.cache = {};
    b.apps  = {};
    EXPECT_EQ(JsonToFile(Replaced(Replaced(json, R"("AppCacheInfo":)", R"("NoCache":)"),
                                  R"("ApplicationManagementTable":)", R"("NoApps":)"))
                  .bytes,
              BdjoFile(b));
}

TEST(Bdjo, JsonMessageChains)
{
    const std::string json = FileToJson(BdjoFile(TwoApps())).json;
    const std::string appFailed =
        "Failed to read JSON array element[0]!\nFailed to read ApplicationManagementTable!\n";
    const struct {
        std::string from, to, err;
    } cases[] = {
        {R"("KeyInterestTable":)", R"("Keys":)", "failed to read KeyInterestTable\n"},
        {R"("AccessiblePlayLists":["00001")", R"("AccessiblePlayLists":[3)",
         "JSON array element[0] is not a string!\n"},
        {R"("AccessiblePlayLists":[)", R"("AccessiblePlayLists":7,"x":[)",
         "AccessiblePlayLists is not an array!\n"},
        {R"("parameter":["a","b\u0000"])", R"("parameter":"a")",
         "parameter is not an array!\nError parsing application_descriptor!\n" + appFailed},
        {R"("parameter":["a","b\u0000"])", R"("parameter":["a",7])",
         "JSON array element[1] is not a string!\nError parsing application_descriptor!\n" +
             appFailed},
        {R"("application_control_code":1,)", "",
         "failed to read application_control_code\n" + appFailed},
        {R"("language_code":"fra",)", "",
         "failed to read language_code\nFailed to read JSON array element[1]!\n"
         "Failed to read application_name!\nError parsing application_descriptor!\n" +
             appFailed},
    };
    for (const auto& c : cases) {
        Outcome o = JsonToFile(Replaced(json, c.from, c.to));
        EXPECT_EQ(o.rc, 1) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }
}

TEST(Bdjo, AreaSizesThatDisagreeWithTheirEntriesStayInside)
{
    // Sizes smaller and larger than the entries: the loops stop at whole entries inside the
    // area, the descriptor and the data, and the next application is read where it stands.
    const int sizes[][2] = {{5, -1}, {0xFFFF, -1}, {-1, 0xFF}, {-1, 1}, {0xFFFF, 0xFF}};
    for (const auto& s : sizes) {
        Bdjo b               = TwoApps();
        b.apps[0].namesSize  = s[0];
        b.apps[0].paramsSize = s[1];
        CBDMV bdmv;
        ASSERT_EQ(Parsed(bdmv, BdjoFile(b)).rc, 0) << s[0] << " " << s[1];
        TempDir dir;
        WriteFile(dir.File("a.bdjo"), BdjoFile(b));
        RunResult run = RunVarnel({dir.File("a.bdjo"), dir.File("a.json")});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_LT(run.peakKiB, PeakLimitKiB());
        const auto& apps = bdmv.m_bdjo.ApplicationManagementTable.m_applications;
        ASSERT_EQ(apps.size(), 2u);
        EXPECT_EQ(apps[1].application_identifier.xlet_organization_id, 0x56789ABCu);
        EXPECT_EQ(apps[1].application_descriptor.initial_class_name, "org.Xlet");
        EXPECT_EQ(bdmv.m_bdjo.FileAccessInfo.directory_path, TwoApps().path);
        const auto& first = apps[0].application_descriptor;
        EXPECT_LE(first.application_name.size(), 40u);
        EXPECT_TRUE(s[0] != 5 || first.application_name.empty()) << "no whole name fits in 5";
        EXPECT_TRUE(s[1] != 1 || first.parameter.empty()) << "a 2-byte parameter does not fit in 1";
        if (s[0] < 0 && s[1] == 0xFF) {
            EXPECT_EQ(first.parameter, TwoApps().apps[0].params);
        }
    }

    // Every cut of the file parses without reading outside it.
    const std::vector<uint8_t> bytes = BdjoFile(TwoApps());
    for (size_t n = 0; n < bytes.size(); ++n)
        FileToJson(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
}

TEST(Bdjo, BuildRefusesWhatTheFieldsCannotHold)
{
    using Change = void (*)(CBDJO&);
    const struct {
        Change change;
        const char* err;
    } cases[] = {
        {[](CBDJO& j) { j.TableOfAccessiblePlayLists.AccessiblePlayLists.resize(2048); },
         "Too many AccessiblePlayLists entries: 2048 do not fit, at most 2047!\n"},
        {[](CBDJO& j) { j.FileAccessInfo.directory_path.resize(65536); },
         "Too many bytes in directory_path: 65536 do not fit, at most 65535!\n"},
    };
    const struct {
        void (*change)(CApplicationDescriptor&);
        const char* err;
    } descriptorCases[] = {
        {[](CApplicationDescriptor& d) { d.base_directory.assign(256, 'd'); },
         "Too many bytes in base_directory: 256 do not fit, at most 255!\n"},
        {[](CApplicationDescriptor& d) { d.application_profile.resize(16); },
         "Too many application_profile entries: 16 do not fit, at most 15!\n"},
        {[](CApplicationDescriptor& d) { d.application_name.resize(16384); },
         "Too many bytes in application_name list: 65543 do not fit, at most 65535!\n"},
        {[](CApplicationDescriptor& d) { d.parameter[1].assign(256, 'p'); },
         "Too many bytes in parameter[1]: 256 do not fit, at most 255!\n"},
        {[](CApplicationDescriptor& d) {
             d.parameter = {std::string(200, 'p'), std::string(100, 'q')};
         },
         "Too many bytes in parameter list: 302 do not fit, at most 255!\n"},
    };
    CBDMV base;
    ASSERT_EQ(Parsed(base, BdjoFile(TwoApps())).rc, 0);
    auto refused = [](CBDMV& bdmv, const char* err) {
        Outcome o = Built(bdmv);
        EXPECT_EQ(o.rc, 1) << err;
        EXPECT_EQ(o.err, err);
    };
    for (const auto& c : cases) {
        CBDMV bdmv = base;
        c.change(bdmv.m_bdjo);
        refused(bdmv, c.err);
    }
    for (const auto& c : descriptorCases) {
        CBDMV bdmv = base;
        c.change(bdmv.m_bdjo.ApplicationManagementTable.m_applications[0].application_descriptor);
        refused(bdmv, c.err);
    }
}
