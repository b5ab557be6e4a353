#pragma once

// Files written whole or not at all, several of them together: each is
// made beside its target and renamed into place only when every one of
// them could be made, so a failure leaves what was there before.

#include <QByteArray>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

namespace tablica::picture {

struct FileToWrite {
  std::filesystem::path path;
  QByteArray bytes;
};

// Writes every file, or none (files already there stay as they were).
// Refuses a target that exists and is not a regular file (a device, a
// folder: renaming over it would replace it), and two targets that are the
// same file. Returns the Polish reason, or empty.
// `beforePlacing` is called with each file's index just before it is put in
// place (a test changes the folder there, as another program might).
std::string WriteFilesWhole(std::span<const FileToWrite> files,
                            const std::function<void(std::size_t)>& beforePlacing = {});

// Whether two paths name the same file: one file under two names, or one
// path spelt two ways where the file is not there yet.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tablica::picture
