// Varnel's self-test: both directions on one file, four files, four comparisons.
#pragma once

#include <cstdint>
#include <string>

int SelfTest(const char* testFile, uint32_t padding);

// Cuts name at its extension (the last '.' with no '/' or '\\' after it) and appends suffix.
void ReplaceExtension(std::string& name, const char* suffix);
