// `kestrune editor --x11` in a build without X11.
#include "host/EditorWindow.h"
#include "host/HostError.h"

namespace kestrune {

std::unique_ptr<EditorWindow> makeX11EditorWindow(Plugin&) {
  throw HostError("--x11: this kestrune was built without X11 (install libx11-dev and libxtst-dev)");
}

}  // namespace kestrune
