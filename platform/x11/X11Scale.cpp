// The content scale of the display an editor shows on: what desktops set for high-density
// screens (the Xft.dpi resource, or GDK_SCALE for the programs of one session).
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/x11/X11BackendImpl.h"
#include "platform/x11/X11ErrorTrap.h"

namespace plat::x11 {

namespace {

constexpr double kBaseDpi = 96;
constexpr long kMaxWholeScale = 8;

// A number at the start of `text` (after blanks); nothing when there is none or it is not finite.
bool ReadNumber(std::string_view text, double& out) {
  const std::string s(text);
  const char* begin = s.c_str();
  char* end = nullptr;
  out = std::strtod(begin, &end);
  return end != begin && std::isfinite(out);
}

// GDK_SCALE when it is a whole number from 1 to kMaxWholeScale.
bool WholeScale(const char* gdkScale, double& out) {
  if (!gdkScale || !*gdkScale) return false;
  char* end = nullptr;
  const long whole = std::strtol(gdkScale, &end, 10);
  if (*end != '\0' || whole < 1 || whole > kMaxWholeScale) return false;
  out = double(whole);
  return true;
}

}  // namespace

double ScaleFromEnvironment(const char* gdkScale, std::string_view resources) {
  if (double whole = 0; WholeScale(gdkScale, whole)) return whole;
  // One resource per line, "name:<blanks>value".
  constexpr std::string_view kName = "Xft.dpi:";
  for (std::size_t at = 0; at < resources.size();) {
    std::size_t end = resources.find('\n', at);
    if (end == std::string_view::npos) end = resources.size();
    const std::string_view line = resources.substr(at, end - at);
    at = end + 1;
    double dpi = 0;
    if (line.starts_with(kName) && ReadNumber(line.substr(kName.size()), dpi) && dpi > 0) return dpi / kBaseDpi;
  }
  return 1;
}

double X11BackendImpl::ContentScale(WindowHandle window) {
  // GDK_SCALE decides without the display.
  const char* gdkScale = std::getenv("GDK_SCALE");
  if (double whole = 0; WholeScale(gdkScale, whole)) return whole;
  std::string resources;
  XWindowAttributes attributes{};
  // The property is read afresh: the copy Xlib takes when a connection opens would miss a change
  // made while our connection stays open.
  if (QueryWindow(reinterpret_cast<uintptr_t>(window), &attributes)) {
    ErrorTrap trap(*this);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, RootWindowOfScreen(attributes.screen), XA_RESOURCE_MANAGER, 0, 1L << 16, False,
                           XA_STRING, &type, &format, &items, &after, &data) == Success &&
        data) {
      if (type == XA_STRING && format == 8) resources.assign(reinterpret_cast<const char*>(data), items);
      XFree(data);
    }
  }
  DisconnectIfUnused();
  return ScaleFromEnvironment(nullptr, resources);  // GDK_SCALE said nothing usable
}

}  // namespace plat::x11
