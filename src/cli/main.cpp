#include <cstring>
#include <iostream>

namespace {
const char* kUsage =
    "quorlane " QUORLANE_VERSION " - builds and manages sales quotes\n"
    "\n"
    "Usage: quorlane <command> [options]\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";
}

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::cout << kUsage;
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::cout << "quorlane " << QUORLANE_VERSION << "\n";
    return 0;
  }
  std::cerr << "quorlane: unknown command '" << argv[1] << "' (see quorlane --help)\n";
  return 2;
}
