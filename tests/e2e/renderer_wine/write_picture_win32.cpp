// Writes the renderer's picture file under Wine as the host does in run mode: the work folder
// made when it is missing, then a bitmap converted into it by ConvertBMPtoJPG of Pellarin1.dll.
//   write_picture.exe <Pellarin1.dll> <bitmap file>
// Exit status 0 when the picture file is written; 1 without a work folder, 2 without the
// converter, 3 when the conversion fails (its result on stderr).
#include <windows.h>

#include <cstdio>

#include "common/path_text.h"
#include "common/work_folder.h"
#include "libs/pellarin1/pellarin1.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_picture.exe <Pellarin1.dll> <bitmap file>\n");
    return 2;
  }
  if (!pellarin::createWorkFolder()) return 1;
  const HMODULE converter = ::LoadLibraryA(argv[1]);
  using Convert = decltype(&ConvertBMPtoJPG);
  const auto convert = converter == nullptr ? nullptr
                                            : reinterpret_cast<Convert>(reinterpret_cast<void*>(
                                                  ::GetProcAddress(converter, "ConvertBMPtoJPG")));
  if (convert == nullptr) {
    std::fprintf(stderr, "no ConvertBMPtoJPG in %s: error %lu\n", argv[1], ::GetLastError());
    return 2;
  }
  const std::string picture = pellarin::pathText(pellarin::pictureFilePath());
  const std::int16_t result = convert(argv[2], picture.c_str(), kPellarin1DefaultSubsampling,
                                      kPellarin1DefaultQuality, kPellarin1DefaultFlags);
  if (result != kPellarin1Ok) {
    std::fprintf(stderr, "ConvertBMPtoJPG(%s, %s) = %d\n", argv[2], picture.c_str(), result);
    return 3;
  }
  return 0;
}
