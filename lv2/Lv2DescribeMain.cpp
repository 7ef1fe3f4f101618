// kestrune_lv2_describe BUNDLE_DIR: writes the bundle's descriptions (manifest.ttl, the plug-in's
// and the presets' files) from what the effect answers. Run by the build; the files are replaced
// whole, never left half written.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Description.h"
#include "plugin/KestruneEn.h"

namespace {

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

bool write(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kestrune_lv2_describe BUNDLE_DIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  AEffect* effect = createKestruneEn(&host, nullptr);
  if (effect == nullptr) {
    std::fprintf(stderr, "kestrune_lv2_describe: the effect could not be made\n");
    return 1;
  }
  const TLv2Description description = describeEffect(effect);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  const bool written = write(folder / "manifest.ttl", manifestTtl(description)) &&
                       write(folder / lv2bundle::kPluginFile, pluginTtl(description)) &&
                       write(folder / lv2bundle::kPresetsFile, presetsTtl(description));
  if (!written) {
    std::fprintf(stderr, "kestrune_lv2_describe: cannot write the descriptions in '%s'\n", folder.c_str());
    return 1;
  }
  return 0;
}
