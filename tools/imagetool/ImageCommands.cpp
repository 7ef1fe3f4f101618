#include "tools/imagetool/ImageCommands.h"

#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "host/HostError.h"
#include "tools/imagetool/ImageFiles.h"

namespace {

struct TImageOptions {
  std::string Input;
  std::string Output;
  std::string Codec = "lzh";
  imagetool::TDrawSettings Settings;
};

// Runs one command: its failure is one line on standard error and exit status 1.
template <class F>
void Run(const std::string& name, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    std::cerr << "kestrune image " << name << ": " << kestrune::oneLine(e.what()) << '\n';
    throw CLI::RuntimeError(1);
  }
}

CLI::App* AddCommand(CLI::App& image, const std::string& name, const std::string& help,
                     const std::shared_ptr<TImageOptions>& options, const std::string& inputHelp,
                     const std::string& outputHelp) {
  CLI::App* cmd = image.add_subcommand(name, help);
  cmd->add_option("input", options->Input, inputHelp)->required();
  cmd->add_option("output", options->Output, outputHelp)->required();
  return cmd;
}

void AddCodecOption(CLI::App* cmd, const std::shared_ptr<TImageOptions>& options) {
  cmd->add_option("--codec", options->Codec, "codec for the stored block (default lzh)")
      ->check(CLI::IsMember({"lzh", "rle", "none"}));
}

}  // namespace

void addImageCommands(CLI::App& app) {
  using namespace imagetool;
  CLI::App* image = app.add_subcommand("image", "stored image data of skins: pack, unpack and the codecs");
  image->require_subcommand(1);
  auto options = std::make_shared<TImageOptions>();

  CLI::App* pack = AddCommand(*image, "pack", "picture (PNG or BMP) to the \"Data\" block of an image", options,
                              "picture file", "data block file");
  AddCodecOption(pack, options);
  pack->add_flag("--masked", options->Settings.Masked,
                 "draw it through the picture's alpha (needs a picture with alpha)");
  pack->add_flag("--transparent", options->Settings.Transparent,
                 "draw it colour keyed (the key: the bottom-left pixel, or --key)");
  pack->add_option("--key", options->Settings.Key, "fixed key colour, #RRGGBB or $00BBGGRR (implies --transparent)")
      ->check(CLI::Validator(
          [](std::string& text) { return text.empty() ? std::string("an empty key names no colour") : ""; }, "COLOUR"));
  pack->footer("Prints the description lines the image list item needs besides its Data block.");
  pack->callback([options] {
    Run("pack", [&] {
      bool hasAlpha = false;
      const Bytes data = PackPicture(ReadFile(options->Input), ParseCodec(options->Codec), &hasAlpha);
      const bool chosen = options->Settings.Masked || options->Settings.Transparent || !options->Settings.Key.empty();
      // Without a choice, the picture's own alpha decides, as importing it does.
      TDrawSettings settings = options->Settings;
      if (!chosen) settings.Masked = hasAlpha;
      const std::vector<std::string> lines = DescribeSettings(settings, hasAlpha);
      WriteFile(options->Output, data);
      std::cout << options->Output << ": " << data.size() << " bytes\n";
      for (const std::string& line : lines) std::cout << "  " << line << '\n';
    });
  });

  CLI::App* unpack = AddCommand(*image, "unpack", "\"Data\" block of an image to a PNG picture", options,
                                "data block file", "PNG file");
  unpack->callback([options] {
    Run("unpack", [&] {
      int width = 0, height = 0;
      WriteFile(options->Output, UnpackPicture(ReadFile(options->Input), &width, &height));
      std::cout << options->Output << ": " << width << " x " << height << '\n';
    });
  });

  CLI::App* encode =
      AddCommand(*image, "encode-data", "bare payload to a \"Data\" block", options, "payload file", "data block file");
  AddCodecOption(encode, options);
  encode->callback([options] {
    Run("encode-data",
        [&] { WriteFile(options->Output, EncodeData(ReadFile(options->Input), ParseCodec(options->Codec))); });
  });

  CLI::App* decode = AddCommand(*image, "decode-data", "\"Data\" block to its bare payload", options, "data block file",
                                "payload file");
  decode->callback(
      [options] { Run("decode-data", [&] { WriteFile(options->Output, DecodeData(ReadFile(options->Input))); }); });

  CLI::App* lzhEncode = AddCommand(*image, "lzh-encode", "raw LZH stream with its 4-byte size field", options,
                                   "input file", "stream file");
  lzhEncode->callback(
      [options] { Run("lzh-encode", [&] { WriteFile(options->Output, LZHEncode(ReadFile(options->Input))); }); });

  CLI::App* lzhDecode =
      AddCommand(*image, "lzh-decode", "raw LZH stream back to its bytes", options, "stream file", "output file");
  lzhDecode->callback(
      [options] { Run("lzh-decode", [&] { WriteFile(options->Output, LZHDecode(ReadFile(options->Input))); }); });
}
