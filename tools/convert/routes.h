// Varnel's command line and its conversion routes.
#pragma once

#include <cstdint>
#include <string>

void PrintUsage(const char* name);
void PrintBanner();

// Binary disc file to JSON; output nullptr means standard output.
int ConvertToJson(const char* input, const char* output);
// JSON to binary disc file; input nullptr means standard input.
int ConvertToBinary(const char* input, const char* output, uint32_t padding);

// Varnel's main: argument scan and route choice.
int VarnelMain(int argc, char** argv);
