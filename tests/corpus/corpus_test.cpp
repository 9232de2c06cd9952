// One test per file kind that converts.
#include "tests/corpus/corpus_roundtrip.h"

#include <gtest/gtest.h>

using testing_support::RunCorpusKind;
TEST(Corpus, Playlists) { RunCorpusKind("MPLS"); }
TEST(Corpus, Sound) { RunCorpusKind("BCLK"); }
TEST(Corpus, DiscId) { RunCorpusKind("BDID"); }
TEST(Corpus, ClipInfo) { RunCorpusKind("HDMV"); }
TEST(Corpus, Index) { RunCorpusKind("INDX"); }
TEST(Corpus, MovieObjects) { RunCorpusKind("MOBJ"); }
TEST(Corpus, BdjObjects) { RunCorpusKind("BDJO"); }
