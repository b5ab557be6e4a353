#pragma once

// Timetable feeds made by the tests: tables written into a zip as given.

#include <zip.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

namespace tablica::testing_support {

inline void WriteFeed(const std::filesystem::path& path,
                      const std::map<std::string, std::string>& tables) {
  int code = 0;
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) throw std::runtime_error("zip_open");
  for (const auto& [name, text] : tables) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      throw std::runtime_error("zip_file_add");
    }
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
}

}  // namespace tablica::testing_support
