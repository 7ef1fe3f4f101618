// `kestrune info`: everything a plug-in reports about itself.
#pragma once

#include <iosfwd>

namespace CLI {
class App;
}

namespace kestrune {

class Plugin;

void addInfoCommand(CLI::App& app);

// Writes the report of an opened plug-in: identity, I/O, flags, delay, parameters, programs,
// can-do answers and any defects seen in the plug-in's text answers.
void writeInfo(Plugin& plugin, std::ostream& out);

}  // namespace kestrune
