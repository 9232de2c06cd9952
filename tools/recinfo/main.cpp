// quenby's entry point.
#include "tools/recinfo/quenby.h"

int main(int argc, char** argv) { return QuenbyMain(argc, argv); }
