#include "tests/corpus/corpus_roundtrip.h"

#include "disc/bdmv.h"
#include "disc/framework/json_text.h"
#include "tests/support/test_support.h"

#include <cstring>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace testing_support
{

static const char kNoWayBack[] = "JSON cannot be read back:";

static void ListFiles(const std::string& dir, std::vector<std::string>& out)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            ListFiles(path, out);
        else if (S_ISREG(st.st_mode))
            out.push_back(path);
    }
    closedir(d);
}

std::vector<std::string> CorpusFiles(const char* typeCode)
{
    std::vector<std::string> files, kind;
    std::string corpus = CorpusDir();
    if (!corpus.empty())
        ListFiles(corpus + "/disc", files);
    for (const std::string& path : files)
        if (ReadFile(path).compare(0, 4, typeCode) == 0)
            kind.push_back(path);
    return kind;
}

static std::map<std::string, std::string> ExpectedDifferences()
{
    std::map<std::string, std::string> m;
    // Beside this source file: the data directory need not exist for the list to be found.
    std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.find_last_of('/') + 1) + "expected_differences.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab             = line.find('\t');
        m[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return m;
}

static int FromJsonText(CBDMV& bdmv, const std::string& text)
{
    JDoc doc;
    if (!ParseJsonText(text, doc))
        return -1;
    return bdmv.ReadJSON(doc, doc);
}

void RunCorpusKind(const char* typeCode)
{
    std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "corpus not found (../shared/corpus); set BDMV_CORPUS to run these";
    std::vector<std::string> files;
    ListFiles(corpus + "/disc", files);
    std::map<std::string, std::string> expected = ExpectedDifferences();
    TempDir samples; // sound.bdmv writes its sample files here

    int count = 0, identical = 0;
    std::vector<std::string> listed;
    for (const std::string& path : files) {
        CBitBuffer bb;
        std::string bytes = ReadFile(path);
        if (bytes.size() < 4 || memcmp(bytes.data(), typeCode, 4) != 0)
            continue;
        ++count;
        std::string rel = path.substr(corpus.size() + 1);
        CaptureOutput capture;
        bb.m_bytes.assign(bytes.begin(), bytes.end());

        CBDMV first;
        first.m_directory = samples.Path() + "/";
        int rc            = first.Parse(bb);
        std::string json  = rc == 0 ? JsonText(first) : std::string();
        CBDMV second;
        second.m_directory = samples.Path() + "/";
        int rcRead         = rc == 0 ? FromJsonText(second, json) : 1;
        CBitBuffer rebuilt;
        int rcBuild = rcRead == 0 ? second.Build(rebuilt) : 1;
        std::string json2;
        int rcJson2 = 1;
        if (rcBuild == 0) {
            CBDMV third;
            third.m_directory = samples.Path() + "/";
            CBitBuffer again;
            again.m_bytes = rebuilt.m_bytes;
            rcJson2       = third.Parse(again);
            if (rcJson2 == 0)
                json2 = JsonText(third);
        }
        capture.Stop();
        EXPECT_EQ(rc, 0) << rel << " failed to parse or write JSON:\n" << capture.Err();
        // Some contents have no way back from JSON (stream attributes of an unknown coding
        // type): such a file is listed with a reason that starts with kNoWayBack.
        auto listedAs = expected.find(rel);
        if (listedAs != expected.end() && listedAs->second.rfind(kNoWayBack, 0) == 0) {
            EXPECT_NE(rcRead, 0) << rel << " is listed as not readable back from JSON, but is";
            continue;
        }
        EXPECT_EQ(rcRead, 0) << rel << " failed to read its own JSON:\n" << capture.Err();
        EXPECT_EQ(rcBuild, 0) << rel << " failed to build:\n" << capture.Err();
        if (rc || rcRead || rcBuild)
            continue;
        EXPECT_EQ(rcJson2, 0) << rel << ": the rebuilt file does not parse:\n" << capture.Err();
        EXPECT_EQ(json, json2) << rel << ": JSON -> binary -> JSON differs";

        bool same = rebuilt.m_bytes.size() == bytes.size() &&
                    memcmp(rebuilt.m_bytes.data(), bytes.data(), bytes.size()) == 0;
        if (same) {
            ++identical;
            EXPECT_EQ(expected.count(rel), 0u) << rel << " is listed as differing but is identical";
        } else {
            listed.push_back(rel);
            EXPECT_EQ(expected.count(rel), 1u)
                << rel << " rebuilds differently (" << bytes.size() << " -> "
                << rebuilt.m_bytes.size() << " bytes) and is not in expected_differences.txt";
        }
    }
    printf("%s: %d files, %d identical, %zu differ as expected\n", typeCode, count, identical,
           listed.size());
    EXPECT_GT(count, 0) << "no corpus files of type " << typeCode;
}

} // namespace testing_support
