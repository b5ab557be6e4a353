#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <QString>

#include "obraz/source_tab.h"
#include "picture/convert.h"

class QComboBox;
class QLabel;
class QSlider;

namespace tablica {

// The "Obraz" tab: a picture file, decoded once when it is opened, and the
// conversion's choices (placement, dots, threshold level, lit parts).
class PictureTab final : public SourceTab {
  Q_OBJECT

 public:
  explicit PictureTab(QWidget* parent = nullptr);

  // Opens `path` as the source. Empty on success; otherwise the Polish
  // reason it cannot be read, and the previous picture stays.
  std::string Open(const QString& path);

  picture::DotsResult MakeDots() override;

  // The picture file opened last (none: nothing opened yet).
  const std::optional<std::filesystem::path>& PicturePath() const { return path_; }
  // The conversion's choices as the tab shows them.
  picture::ConvertOptions Choices() const;

 signals:
  // "Otwórz obraz…" was pressed.
  void OpenRequested();

 private:
  // The dots choices as the list offers them; the library's threshold is
  // automatic or at a level.
  enum class DotsChoice { AutoThreshold, Threshold, Diffusion, Ordered };

  picture::PreparedPicture picture_;
  std::optional<std::filesystem::path> path_;
  QLabel* pictureName_ = nullptr;
  QComboBox* placement_ = nullptr;
  QComboBox* dotsMethod_ = nullptr;
  QSlider* level_ = nullptr;
  QLabel* levelValue_ = nullptr;
  QComboBox* lit_ = nullptr;
};

}  // namespace tablica
