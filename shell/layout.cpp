#include "shell/layout.h"

#include <array>

namespace qm {
namespace {

// The header of a list view is its caption up to the first "|".
std::u16string Header(std::u16string_view caption) {
  return std::u16string(caption.substr(0, caption.find(u'|')));
}

constexpr int kAddress = -1;  // a caption that is the translator's address

// Every control of the main window, in creation (and tab) order: where its
// reference is kept, its name, kind and place in client coordinates, the
// index of its caption in the language table, its list column's width and
// whether Tab stops at it. This table is the one place a control is named.
struct ControlRow {
  ControlId MainControls::*reference;
  std::string_view name;
  ControlKind kind;
  int x, y, width, height;
  int caption;
  int column_width;
  bool tab_stop;
};
constexpr std::array<ControlRow, 8> kControls = {{
    {&MainControls::TranslatorWebView, "TranslatorWebView", ControlKind::WebView, 7, 18, 870,
     748, kAddress, 0, false},
    {&MainControls::WebViewFrame, "WebViewFrame", ControlKind::Frame, 2, 5, 883, 770, 8, 0, false},
    {&MainControls::ControlsFrame, "ControlsFrame", ControlKind::Frame, 885, 5, 400, 770, 9, 0,
     false},
    {&MainControls::FileListView, "FileListView", ControlKind::ListView, 890, 70, 255, 699, 1, 255,
     true},
    {&MainControls::TranslatedListView, "TranslatedListView", ControlKind::ListView, 1145, 70, 135,
     699, 7, 196, true},
    {&MainControls::SourceButton, "SourceButton", ControlKind::Button, 890, 20, 60, 50, 2, 0, true},
    {&MainControls::SourcePathField, "SourcePathField", ControlKind::EditField, 950, 20, 327, 22, 4,
     0, true},
    {&MainControls::DestinationPathField, "DestinationPathField", ControlKind::EditField, 950, 45,
     327, 22, 5, 0, true},
}};

}  // namespace

WindowLayout MainWindowLayout(const std::array<std::u16string, kLanguageTextCount>& text,
                              std::u16string_view translator_address) {
  WindowLayout layout;
  layout.x = 210;
  layout.y = 10;
  layout.client_width = 1291;
  layout.client_height = 807;
  layout.title = text[0];
  layout.status_field_widths.assign(kStatusFieldWidths.begin(), kStatusFieldWidths.end());
  layout.not_a_folder = kNotAFolderNote;
  for (const ControlRow& row : kControls) {
    std::u16string caption(row.caption == kAddress ? translator_address
                                                   : text[static_cast<std::size_t>(row.caption)]);
    if (row.kind == ControlKind::ListView) caption = Header(caption);
    std::u16string fallback(row.kind == ControlKind::WebView ? kOfflinePage : u"");
    layout.controls.push_back({row.name, row.kind, row.x, row.y, row.width, row.height,
                               std::move(caption), row.column_width, row.tab_stop,
                               std::move(fallback)});
  }
  return layout;
}

MainControls ControlsOf(const BuiltWindow& built) {
  MainControls controls;
  controls.MainWindow = built.window;
  if (built.window == kNoControl) return controls;
  controls.MainStatusBar = built.status_bar;
  for (std::size_t i = 0; i < kControls.size() && i < built.controls.size(); ++i) {
    controls.*kControls[i].reference = built.controls[i];
  }
  return controls;
}

}  // namespace qm
