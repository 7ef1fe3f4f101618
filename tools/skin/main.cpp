// kestrune_skin: draws the editor window's four pictures and puts them, as LZH "Data" blocks, into
// the window description's image list.
//   kestrune_skin DESCRIPTION           rewrites the image list of DESCRIPTION in place
//   kestrune_skin --check DESCRIPTION   exit status 1 when DESCRIPTION's pictures are not current
// A failure prints one line and leaves the file as it was.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/imagetool/ImageFiles.h"
#include "tools/skin/SkinPictures.h"

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (argc != 2 + (check ? 1 : 0)) {
    std::cerr << "usage: kestrune_skin [--check] DESCRIPTION\n";
    return 2;
  }
  const std::string path = argv[argc - 1];
  try {
    const imagetool::Bytes bytes = imagetool::ReadFile(path);
    const std::string before(bytes.begin(), bytes.end());
    const std::string after = skin::PutImageList(before);
    if (check) {
      if (after == before) return 0;
      std::cerr << "kestrune_skin: " << path << ": the pictures differ from what the generator draws\n";
      return 1;
    }
    if (after == before) return 0;
    // Written beside and renamed over, so a failed write leaves the description whole.
    const std::string temp = path + ".new";
    imagetool::WriteFile(temp, imagetool::Bytes(after.begin(), after.end()));
    std::filesystem::rename(temp, path);
    std::cout << path << ": pictures written\n";
  } catch (const std::exception& e) {
    std::cerr << "kestrune_skin: " << path << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}
