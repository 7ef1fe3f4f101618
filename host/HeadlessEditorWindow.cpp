#include "host/EditorWindow.h"
#include "host/HostError.h"
#include "host/Plugin.h"

namespace kestrune {
namespace {

class HeadlessEditorWindow final : public EditorWindow {
 public:
  explicit HeadlessEditorWindow(Plugin& plugin) : plugin_(plugin) {}
  ~HeadlessEditorWindow() override { close(); }

  void open() override {
    if ((plugin_.record().flags & effFlagsHasEditor) == 0) throw HostError("'" + plugin_.path() + "' has no editor");
    ERect* rect = nullptr;
    plugin_.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) throw HostError("'" + plugin_.path() + "' does not tell its editor's size");
    width_ = rect->right - rect->left;
    height_ = rect->bottom - rect->top;
    if (width_ < 1 || height_ < 1 || width_ > 4096 || height_ > 4096)
      throw HostError("'" + plugin_.path() + "' reports an editor of " + std::to_string(width_) + " x " +
                      std::to_string(height_) + " pixels");
    KestruneHostWindow request{0, 0, width_, height_, nullptr};
    if (ask(kRequestCreateHostWindow, &request) != 1 || !request.window)
      throw HostError("'" + plugin_.path() +
                      "' cannot draw its editor offline (it does not answer our headless requests)");
    window_ = request.window;
    if (plugin_.dispatch(effEditOpen, 0, 0, window_) == 0)
      throw HostError("'" + plugin_.path() + "' did not open its editor");
    opened_ = true;
  }
  int width() const override { return width_; }
  int height() const override { return height_; }

  ControlPlace locate(const std::string& control) override {
    KestruneControl request{control.c_str(), 0, 0, 0, 0, 0, 0};
    if (ask(kRequestLocateControl, &request) != 1) throw HostError("the editor has no control named '" + control + "'");
    return {request.left, request.top, request.width, request.height, request.grabX, request.grabY};
  }
  void mouseMove(int x, int y) override { mouse(x, y, kMouseMove); }
  void mouseButton(int x, int y, bool down) override { mouse(x, y, down ? kMouseDown : kMouseUp); }
  void wait(int milliseconds) override {
    KestruneAdvance request{milliseconds};
    if (ask(kRequestAdvance, &request) != 1)
      throw HostError("the editor's clock cannot advance " + std::to_string(milliseconds) + " ms");
  }
  std::vector<std::uint8_t> read() override {
    std::vector<std::uint8_t> pixels(std::size_t(width_) * std::size_t(height_) * 4);
    KestrunePixels request{window_, width_, height_, pixels.data()};
    if (ask(kRequestReadPixels, &request) != 1) throw HostError("the editor's pixels cannot be read");
    return pixels;
  }
  void close() override {
    if (opened_) plugin_.dispatch(effEditClose);
    opened_ = false;
    if (window_) ask(kRequestDestroyHostWindow, window_);
    window_ = nullptr;
  }

 private:
  VstIntPtr ask(KestruneRequest request, void* record) {
    return plugin_.dispatch(effVendorSpecific, kKestruneRequest, request, record);
  }
  void mouse(int x, int y, VstInt32 action) {
    KestruneMouse request{x, y, action, 0};
    if (ask(kRequestMouse, &request) != 1) throw HostError("the editor did not take mouse input");
  }

  Plugin& plugin_;
  void* window_ = nullptr;
  bool opened_ = false;
  int width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<EditorWindow> makeHeadlessEditorWindow(Plugin& plugin) {
  return std::make_unique<HeadlessEditorWindow>(plugin);
}

}  // namespace kestrune
