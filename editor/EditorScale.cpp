#include "editor/EditorScale.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "ui/Errors.h"
#include "ui/TypeInfo.h"

namespace {

constexpr std::string_view kImageList = "DIBImageList1";
constexpr std::string_view kScaledListPrefix = "DIBImageList1At";

bool EndsWithText(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

// An object or collection item being read: where its lines start and its unscaled left and top,
// from which its width and height are scaled as edges.
struct TFrame {
  std::size_t Indent;
  long Left = 0, Top = 0;
  // A slider's track picture reaches one pixel beyond both ends of the slider along its axis, so
  // its track is its length + 2 - the knob's. Along that axis the slider's edges are scaled as
  // those of the picture, one pixel further out: its track then grows exactly with the scale
  // and the same fraction of a drag gives the same position.
  bool OverhangX = false, OverhangY = false;
};

constexpr std::string_view kSliderClass = "TDIBSlider";

}  // namespace

std::string ScaleEditorDescription(std::string_view description, double scale) {
  const int percent = static_cast<int>(std::lround(scale * 100));
  // Built by appending: GCC 12 warns falsely about a concatenation of short strings here.
  std::string wanted(percent == 100 ? kImageList : kScaledListPrefix);
  if (percent != 100) wanted.append(std::to_string(percent));
  auto edge = [scale](long v) { return std::lround(static_cast<double>(v) * scale); };

  std::string out;
  out.reserve(description.size() / (percent == 100 ? 8 : 2));
  std::vector<TFrame> frames;
  std::size_t skipIndent = std::string_view::npos;  // inside an image list left out: its indent
  bool listFound = false;
  for (std::size_t at = 0; at < description.size();) {
    std::size_t next = description.find('\n', at);
    next = next == std::string_view::npos ? description.size() : next + 1;
    const std::string_view line = description.substr(at, next - at);
    at = next;
    const std::size_t indent = line.find_first_not_of(' ');
    std::string_view content = indent == std::string_view::npos ? std::string_view{} : line.substr(indent);
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.remove_suffix(1);

    if (skipIndent != std::string_view::npos) {
      if (indent == skipIndent && content == "end") skipIndent = std::string_view::npos;
      continue;
    }
    if (content.starts_with("object ") || content == "item") {
      if (content.starts_with("object ")) {
        const std::size_t colon = content.find(':');
        const std::string_view name =
            colon == std::string_view::npos ? content.substr(7) : content.substr(7, colon - 7);
        if (name == kImageList || name.starts_with(kScaledListPrefix)) {
          if (name != wanted) {
            skipIndent = indent;
            continue;
          }
          listFound = true;
          out.append(line.substr(0, indent)).append("object ").append(kImageList);
          out.append(content.substr(7 + name.size())).append("\n");
          frames.push_back({indent});
          continue;
        }
      }
      TFrame frame{indent};
      if (content.ends_with(kSliderClass)) {
        // Along which axis: the object's own lines say so (horizontal unless stated).
        std::string end(indent + 1, ' ');
        end.front() = '\n';
        end.append("end");
        const std::size_t objectEnd = description.find(end, at);
        const std::string_view body =
            description.substr(at, objectEnd == std::string_view::npos ? objectEnd : objectEnd - at);
        const bool vertical = body.find("SliderType = stVertical") != std::string_view::npos;
        frame.OverhangX = !vertical;
        frame.OverhangY = vertical;
      }
      frames.push_back(frame);
      out.append(line);
      continue;
    }
    if (!frames.empty() && indent == frames.back().Indent && content.starts_with("end")) {
      frames.pop_back();
      out.append(line);
      continue;
    }

    // "Name = integer"
    const std::size_t eq = content.find(" = ");
    long value = 0;
    const std::string_view name = eq == std::string_view::npos ? std::string_view{} : content.substr(0, eq);
    const std::string_view number = eq == std::string_view::npos ? std::string_view{} : content.substr(eq + 3);
    const auto parsed = std::from_chars(number.data(), number.data() + number.size(), value);
    if (name.empty() || parsed.ec != std::errc{} || parsed.ptr != number.data() + number.size() ||
        name.starts_with("DIB.") || frames.empty()) {
      out.append(line);
      continue;
    }
    TFrame& frame = frames.back();
    // The near edge and the far edge of a span along one axis.
    auto nearEdge = [&](long start, bool overhang) { return overhang ? edge(start - 1) + 1 : edge(start); };
    auto farEdge = [&](long end, bool overhang) { return overhang ? edge(end + 1) - 1 : edge(end); };
    long scaled = value;
    if (SameText(name, "Left")) {
      frame.Left = value;
      scaled = nearEdge(value, frame.OverhangX);
    } else if (SameText(name, "Top")) {
      frame.Top = value;
      scaled = nearEdge(value, frame.OverhangY);
    } else if (SameText(name, "Width")) {
      scaled = farEdge(frame.Left + value, frame.OverhangX) - nearEdge(frame.Left, frame.OverhangX);
    } else if (SameText(name, "Height")) {
      scaled = farEdge(frame.Top + value, frame.OverhangY) - nearEdge(frame.Top, frame.OverhangY);
    } else if (SameText(name, "ClientWidth") || SameText(name, "ClientHeight") || SameText(name, "PointerOffset") ||
               SameText(name, "PixelsPerInch") || (name.starts_with("Font") && EndsWithText(name, ".Height"))) {
      scaled = edge(value);
    } else {
      out.append(line);
      continue;
    }
    out.append(line.substr(0, indent)).append(name).append(" = ").append(std::to_string(scaled)).append("\n");
  }
  if (!listFound) throw EDescriptionError(wanted, "the description has no pictures for this scale", 0);
  return out;
}
