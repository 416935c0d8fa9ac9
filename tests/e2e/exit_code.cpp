// A console program for the wine harness tests: it echoes its arguments, one per line, to stdout,
// writes one line to stderr and exits with the number given as first argument, so a test can check
// that the harness passes arguments, both output streams and the exit status through unchanged.
//
//   exit_code.exe CODE [WORDS...]
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::printf("arg%d=%s\n", i, argv[i]);
  std::fflush(stdout);
  std::fprintf(stderr, "exit_code: exiting with %s\n", argc > 1 ? argv[1] : "0");
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
