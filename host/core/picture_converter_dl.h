#pragma once
// PictureConverter over Pellarin1.dll, loaded from the program folder on first use.

#include <filesystem>

#include "host/core/picture_converter.h"

namespace pellarin {

class PictureConverterDl final : public PictureConverter {
 public:
  explicit PictureConverterDl(std::filesystem::path library) : library_(std::move(library)) {}
  ~PictureConverterDl() override;
  PictureConverterDl(const PictureConverterDl&) = delete;
  PictureConverterDl& operator=(const PictureConverterDl&) = delete;
  bool convertBmpToJpg(const std::filesystem::path& bitmapPath,
                       const std::filesystem::path& jpegPath) override;

 private:
  std::filesystem::path library_;
  void* handle_ = nullptr;
  void* function_ = nullptr;
};

}  // namespace pellarin
