#include "shell/layout.h"

namespace qm {
namespace {

// The header of a list view is its caption up to the first "|".
std::u16string Header(std::u16string_view caption) {
  return std::u16string(caption.substr(0, caption.find(u'|')));
}

// Creation order, which is also the order the references are handed back.
enum ControlIndex {
  kWebView,
  kWebViewFrame,
  kControlsFrame,
  kFileList,
  kTranslatedList,
  kSourceButton,
  kSourcePath,
  kDestinationPath,
  kControlCount
};

}  // namespace

WindowLayout MainWindowLayout(const std::array<std::u16string, kLanguageTextCount>& text,
                              std::u16string_view translator_address) {
  WindowLayout layout;
  layout.x = 210;
  layout.y = 10;
  layout.client_width = 1291;
  layout.client_height = 807;
  layout.title = text[0];
  layout.status_field_widths = {200, 300, 391, 150, 150};
  const std::u16string address(translator_address);
  layout.controls = {
      {"TranslatorWebView", ControlKind::WebView, 7, 18, 870, 748, address},
      {"WebViewFrame", ControlKind::Frame, 2, 5, 883, 770, text[8]},
      {"ControlsFrame", ControlKind::Frame, 885, 5, 400, 770, text[9]},
      {"FileListView", ControlKind::ListView, 890, 70, 255, 699, Header(text[1]), 255, true},
      {"TranslatedListView", ControlKind::ListView, 1145, 70, 135, 699, Header(text[7]), 196,
       true},
      {"SourceButton", ControlKind::Button, 890, 20, 60, 50, text[2], 0, true},
      {"SourcePathField", ControlKind::EditField, 950, 20, 327, 22, text[4], 0, true},
      {"DestinationPathField", ControlKind::EditField, 950, 45, 327, 22, text[5], 0, true},
  };
  return layout;
}

MainControls ControlsOf(const BuiltWindow& built) {
  MainControls controls;
  controls.MainWindow = built.window;
  if (built.window == kNoControl) return controls;
  controls.MainStatusBar = built.status_bar;
  auto at = [&](ControlIndex index) {
    return static_cast<std::size_t>(index) < built.controls.size()
               ? built.controls[static_cast<std::size_t>(index)]
               : kNoControl;
  };
  controls.TranslatorWebView = at(kWebView);
  controls.WebViewFrame = at(kWebViewFrame);
  controls.ControlsFrame = at(kControlsFrame);
  controls.FileListView = at(kFileList);
  controls.TranslatedListView = at(kTranslatedList);
  controls.SourceButton = at(kSourceButton);
  controls.SourcePathField = at(kSourcePath);
  controls.DestinationPathField = at(kDestinationPath);
  static_assert(kControlCount == 8);
  return controls;
}

}  // namespace qm
