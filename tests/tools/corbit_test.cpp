// Corbit end to end: the structure listing (angles, multi-clip entries, SubPath names cut to
// their width, extension SubPaths), mark times, options and exit statuses.
#include "tests/corpus/corpus_roundtrip.h"
#include "tests/disc/mpls/mpls_ext_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace mpls_writer;

namespace
{

const char kUsage[] = "Usage:  corbit [-playmarks] file.mpls\n\n"
                      "where -playmarks displays only PlayListMark list\n"
                      "       otherwise structure of used M2TS files\n\n";

} // namespace

TEST(Corbit, StructureListing)
{
    Playlist p;
    PlayItem item;
    item.out              = 45000 * 10;
    p.items               = {item, item, item};
    p.items[1].out        = 45000 * 20;
    p.items[2].out        = 45000 * 30;
    p.items[1].multiAngle = true;
    p.items[1].angles     = {{"00003", "M2TS", 0}, {"00004", "M2TS", 2}};
    for (uint32_t type : {2, 5, 8, 9, 0}) {
        SubPath s;
        s.type = type;
        p.subPaths.push_back(s);
    }
    SubPlayItem multi;
    multi.clip          = {"00010", "M2TS", 0};
    multi.multi         = 1;
    multi.in            = 100;
    multi.out           = 50; // wraps
    multi.clips         = {{"00011", "M2TS", 0}, {"00012", "M2TS", 0}};
    p.subPaths[0].items = {multi};
    SubPath dependent; // in a SubPath extension
    dependent.type = 8;
    SubPlayItem spi;
    spi.clip        = {"00002", "M2TS", 0};
    spi.out         = 45000 * 10;
    dependent.items = {spi};
    p.ext           = {{2, 2, SubPathExtensionBlock({dependent})}};
    TempDir dir;
    WriteFile(dir.File("n.mpls"), PlaylistFile(p));
    RunResult r = RunCorbit({dir.File("n.mpls")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              dir.File("n.mpls") +
                  "\n"
                  "    Num Clips:   3 -- Duration:    1:00\n"
                  "    PlayList:\n"
                  "        00001.M2TS -- Duration:    0:10\n"
                  "        00001.M2TS -- Duration:    0:20\n"
                  "            #angles:  3\n"
                  "            angle[1] 00003.M2TS\n"
                  "            angle[2] 00004.M2TS\n"
                  "        00001.M2TS -- Duration:    0:30\n"
                  "\n"
                  "    SubPath[0] (Primary audio presentation path of the Browsable slideshow):\n"
                  "    SubPlayList:\n"
                  "        00010.M2TS -- Duration: 1590:43\n"
                  "            #multiclip:  3\n"
                  "            multi[1] 00011.M2TS\n"
                  "            multi[2] 00012.M2TS\n"
                  "\n"
                  "    SubPath[1] (Out-of-mux and Synchronous type of one or more elementary...):\n"
                  "    SubPlayList:\n"
                  "\n"
                  "    SubPath[2] (MPEG-4 MVC Dependent view video stream for Stereoscopic O...):\n"
                  "    SubPlayList:\n"
                  "\n"
                  "    SubPath[3] (Stereoscopic Interactive Graphics presentation menu):\n"
                  "    SubPlayList:\n"
                  "\n"
                  "    SubPath[4] (reserved):\n"
                  "    SubPlayList:\n"
                  "\n"
                  "    (extension)\n"
                  "    SubPath[0] (MPEG-4 MVC Dependent view video stream for Stereoscopic O...):\n"
                  "    SubPlayList:\n"
                  "        00002.M2TS -- Duration:    0:10\n"
                  "\n");
}

TEST(Corbit, MarkTimes)
{
    Playlist p;
    PlayItem first, second;
    first.in   = 45000;
    first.out  = 45000 * 3601; // one hour
    second.in  = 0;
    second.out = 4000000000u;
    p.items    = {first, second};
    p.marks    = {{0, 1, 0, 45000 * 91, 0, 0},         // 1:30 into the playlist
                  {0, 1, 0, 45000 * 2 + 1, 0, 0},      // one tick past a second
                  {0, 1, 1, 45000u * 13 * 3600, 0, 0}, // 14 hours
                  {0, 1, 2, 45000, 0, 0}};             // no such PlayItem
    TempDir dir;
    WriteFile(dir.File("m.mpls"), PlaylistFile(p));
    std::string expected = "00:01:30.000\n00:00:01.000\n14:00:00.000\n00:00:00.000\n";
    RunResult r          = RunCorbit({"-playmarks", dir.File("m.mpls")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    // The option in any case, after the name; a second name is ignored.
    r = RunCorbit({dir.File("m.mpls"), dir.File("none.mpls"), "-PlayMarks", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);

    // Times wrap as the fields do: an OUT time below its IN time gives the 32-bit difference,
    // a mark before its PlayItem's IN time lies one tick before the timeline.
    p.items[0].in  = 1000;
    p.items[0].out = 500;
    p.marks        = {{0, 1, 0, 999, 0, 0}, {0, 1, 1, 45000 + 1, 0, 0}};
    WriteFile(dir.File("w.mpls"), PlaylistFile(p));
    r = RunCorbit({"-playmarks", dir.File("w.mpls")});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "-19425553:-49:69931993740.000\n26:30:44.707\n");
}

TEST(Corbit, UsageAndFailures)
{
    RunResult r = RunCorbit({});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(IsBanner("Corbit", r.err)) << r.err;
    EXPECT_EQ(r.out, kUsage);

    r = RunCorbit({"-playmarks", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(IsBanner("Corbit", r.err)) << r.err;
    EXPECT_EQ(r.out, kUsage);

    TempDir dir;
    r = RunCorbit({"missing.mpls"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to open missing.mpls\nParse failed: missing.mpls\n");
    EXPECT_EQ(r.out, "");
}

TEST(Corbit, PrintsEveryCorpusPlaylist)
{
    std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "corpus not found";
    std::vector<std::string> files = CorpusFiles("MPLS");
    EXPECT_GT(files.size(), 0u);
    for (const std::string& f : files) {
        RunResult r = RunCorbit({f});
        EXPECT_EQ(r.status, 0) << f << "\n" << r.err;
        EXPECT_EQ(r.out.compare(0, f.size() + 16, f + "\n    Num Clips: "), 0) << f;
        RunResult marks = RunCorbit({"-playmarks", f});
        EXPECT_EQ(marks.status, 0) << f << "\n" << marks.err;
    }
}
