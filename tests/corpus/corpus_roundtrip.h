// Round trips over the shared corpus of real disc files: every file of a kind is parsed,
// written as JSON text, read back from that text and built again.
#pragma once

#include <string>
#include <vector>

namespace testing_support
{

// Runs every corpus file whose type code is typeCode through binary -> JSON -> binary and
// JSON -> binary -> JSON. Fails the test on any failed step, on JSON that does not survive its
// own round trip, and on a rebuilt file that differs from the original unless
// tests/corpus/expected_differences.txt lists it (path relative to the corpus, a tab, the
// reason; a reason that starts with "JSON cannot be read back:" marks a file whose JSON is
// expected to be refused). Skips with a message when the corpus is not there.
void RunCorpusKind(const char* typeCode);

// The paths of the corpus files whose type code is typeCode (none without the corpus).
std::vector<std::string> CorpusFiles(const char* typeCode);

} // namespace testing_support
