// tablica-samples: writes the sample pictures into a folder.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "board/bitmap.h"
#include "tools/sample_pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Użycie: tablica-samples FOLDER\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const auto& sample : tablica::tools::SamplePictures()) {
    const auto bytes = tablica::EncodeBitmap(sample.bitmap);
    const auto path = folder / sample.fileName;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "Nie mogę zapisać pliku %s.\n", path.string().c_str());
      return 1;
    }
  }
  return 0;
}
