// varnel's entry point.
#include "tools/convert/routes.h"

int main(int argc, char** argv) { return VarnelMain(argc, argv); }
