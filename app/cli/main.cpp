#include <cstdio>
#include <cstring>

#include "platform/reg_global.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n", tallowin::kProductName, tallowin::kVersionText);
    return 0;
  }
  std::fprintf(stderr, "usage: tallowin-cli --version\n");
  return 2;
}
