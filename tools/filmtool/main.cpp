#include <iostream>

#include "tools/filmtool/Cli.h"

int main(int argc, char** argv) { return lumafolio::RunFilmtool(argc, argv, std::cout, std::cerr); }
