// Writes the small seed inputs of every fuzz target into fuzz/seeds/<target>/:
//   build-fuzz/bin/make_seeds fuzz/seeds
// The seeds are kept in the repository; the fuzzer's growing corpus is not.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

// Settings files: the usual nine-line layout and the shapes around it.
void SettingsSeeds(const fs::path& folder) {
  WriteSeed(folder, "layout",
            "PORT 7\r\nMODEL\r\nfield1\r\nfield2\r\nfield3\r\nfield4\r\nfield5\r\nfield6\r\n"
            "field7\r\n");
  WriteSeed(folder, "lf-only", "PORT\n\n\t 12\nMODEL\n");
  WriteSeed(folder, "signs", "PORT -1 +7 -");
  WriteSeed(folder, "long-label", "ABCDEFGHIJ12 9");
  WriteSeed(folder, "long-number", "PORT 123456789012345678901234567890");
  WriteSeed(folder, "utf16",
            std::string("P\0O\0R\0T\0 \0"
                        "5\0",
                        12));
  WriteSeed(folder, "high-bytes", "\xB3\xF3\xBF\xEA\xB1 4\r\n");
  WriteSeed(folder, "cut-at-200", std::string(196, ' ') + "P 12345");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEEDS_FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  SettingsSeeds(root / "settings_scan");
  return 0;
}
