// kestrune: a command-line host for VST 2 plug-ins. Each command registers itself here.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#if KESTRUNE_HOST_EDITOR
#include "host/EditorCommand.h"
#endif
#include "host/HostError.h"
#include "host/InfoCommand.h"
#include "host/OutputTarget.h"
#include "host/RenderCommand.h"
#include "tools/imagetool/ImageCommands.h"

int main(int argc, char** argv) {
  CLI::App app{"kestrune: loads a VST 2 plug-in, prints what it reports and renders audio through it", "kestrune"};
  app.require_subcommand(1);
  // The same options on every system: "/x" is a path, never an option, on Windows too.
  app.allow_windows_style_options(false);
  // Parse errors as one line, like every other failure.
  app.failure_message(
      [](const CLI::App*, const CLI::Error& e) { return "kestrune: " + kestrune::oneLine(e.what()) + "\n"; });

  kestrune::addInfoCommand(app);
  kestrune::addRenderCommand(app);
#if KESTRUNE_HOST_EDITOR
  kestrune::addEditorCommand(app);
#endif
  addImageCommands(app);

  kestrune::installInterruptCleanup();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help answers 0; every refusal, of whatever kind, is status 1.
    return app.exit(e) == 0 ? 0 : 1;
  } catch (const kestrune::HostError& e) {
    std::cerr << "kestrune: " << kestrune::oneLine(e.what()) << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "kestrune: unexpected failure: " << kestrune::oneLine(e.what()) << '\n';
    return 1;
  } catch (...) {
    std::cerr << "kestrune: unexpected failure: the plug-in raised an unknown exception\n";
    return 1;
  }
  return 0;
}
