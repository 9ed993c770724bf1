// The platform on GTK 3 and WebKitGTK.
//
// GTK may only be used from the main thread. Calls made on other threads (the
// worker, the heartbeat) are queued and carried out by the main loop in call
// order; calls that return a value wait for the main thread's answer. Writes
// of one status field that follow each other in the queue collapse into the
// last, so a per-line progress counter cannot flood the main loop. The main
// thread keeps the loop running while it waits for events and while it joins
// a thread, so a queued call is always answered.
// GLib's type macros (G_CALLBACK, GTK_WINDOW, ...) are C casts.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-function-type"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <pthread.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "text/encoding.h"
#include "platform/desktop.h"
#include "platform/fs.h"
#include "platform/main_thread_calls.h"
#include "platform/trace.h"

namespace qm {
namespace {

constexpr int kStatusBarHeight = 24;
constexpr int kTasksPerDispatch = 256;

std::string Utf8(std::u16string_view text) { return EncodeUtf8(text); }

std::u16string FromUtf8(const char* text) {
  return text == nullptr ? std::u16string() : DecodeUtf8(text);
}

// Dialog texts: CR and CR LF become line breaks.
std::string DialogText(std::u16string_view text) {
  std::u16string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      shown += u'\n';
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      shown += text[i];
    }
  }
  return Utf8(shown);
}

std::string RowDisplayText(std::u16string_view text) { return Utf8(FirstColumn(text)); }

constexpr const char* kCss =
    "#quillmark-main entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    "#quillmark-main button { min-height: 0; padding: 0; }\n"
    "#quillmark-main .status-field label { padding-left: 2px; padding-right: 2px; font-size: 8pt; }\n";

class GtkThread final : public Thread {
 public:
  GtkThread(std::jthread thread, std::shared_ptr<std::atomic<bool>> finished,
            std::thread::id main_thread)
      : thread_(std::move(thread)), finished_(std::move(finished)), main_thread_(main_thread) {}
  ~GtkThread() override { GtkThread::Join(); }

  void RequestStop() override { thread_.request_stop(); }
  void Join() override {
    if (!thread_.joinable()) return;
    if (std::this_thread::get_id() == main_thread_) {
      // Keep answering the thread's calls until it has ended.
      while (!finished_->load()) g_main_context_iteration(nullptr, TRUE);
    }
    thread_.join();
  }

 private:
  std::jthread thread_;
  std::shared_ptr<std::atomic<bool>> finished_;
  std::thread::id main_thread_;
};

// A box shown for another thread: the answer travels back through here.
struct BoxState {
  std::mutex mutex;
  std::condition_variable_any answered_cv;
  bool answered = false;
  int response = GTK_RESPONSE_NONE;
  GtkWidget* dialog = nullptr;  // main thread only
};

class GtkPlatform final : public Platform {
 public:
  GtkPlatform() {
    clipboard_owner_ = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    g_object_set_data(clipboard_owner_, "platform", this);
  }
  ~GtkPlatform() override {
    // The clipboard keeps no pointer to a platform that is gone.
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (gtk_clipboard_get_owner(clipboard) == clipboard_owner_) gtk_clipboard_clear(clipboard);
    g_object_unref(clipboard_owner_);
  }

  // --- The main window ---------------------------------------------------

  BuiltWindow BuildMainWindow(const WindowLayout& layout) override {
    BuiltWindow built;
    if (!calls_.OnMain()) return built;
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);

    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window_ == nullptr) return built;
    gtk_widget_set_name(window_, "quillmark-main");
    gtk_window_set_title(GTK_WINDOW(window_), Utf8(layout.title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_gravity(GTK_WINDOW(window_), GDK_GRAVITY_NORTH_WEST);
    gtk_window_move(GTK_WINDOW(window_), layout.x, layout.y);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(OnWindowDestroyed), this);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, layout.client_width, layout.client_height);
    gtk_container_add(GTK_CONTAINER(window_), fixed);
    controls_.clear();
    controls_.push_back({ControlKind::Frame, window_, nullptr, nullptr});
    built.window = static_cast<ControlId>(controls_.size());

    // The status bar along the bottom edge of the client area.
    int x = 0;
    for (const int width : layout.status_field_widths) {
      GtkWidget* frame = gtk_frame_new(nullptr);
      gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
      gtk_style_context_add_class(gtk_widget_get_style_context(frame), "status-field");
      GtkWidget* label = gtk_label_new("");
      gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
      gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
      gtk_label_set_single_line_mode(GTK_LABEL(label), TRUE);
      gtk_container_add(GTK_CONTAINER(frame), label);
      gtk_widget_set_size_request(frame, width, kStatusBarHeight);
      gtk_fixed_put(GTK_FIXED(fixed), frame, x, layout.client_height - kStatusBarHeight);
      field_labels_.push_back(label);
      x += width;
    }
    controls_.push_back({ControlKind::StatusBar, nullptr, nullptr, nullptr});
    built.status_bar = static_cast<ControlId>(controls_.size());

    GList* focus_chain = nullptr;
    for (const ControlSpec& item : layout.controls) {
      Control control = MakeControl(item);
      gtk_widget_set_size_request(control.outer, item.width, item.height);
      gtk_fixed_put(GTK_FIXED(fixed), control.outer, item.x, item.y);
      if (item.tab_stop) focus_chain = g_list_append(focus_chain, control.outer);
      controls_.push_back(control);
      const auto id = static_cast<ControlId>(controls_.size());
      if (item.kind == ControlKind::Button) {
        clicks_.push_back({this, id});
        g_signal_connect(control.widget, "clicked", G_CALLBACK(OnClicked), &clicks_.back());
      }
      built.controls.push_back(id);
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), focus_chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(focus_chain);

    gtk_widget_show_all(window_);
    Trace("window shown");
    return built;
  }

  Event WaitEvent() override {
    while (events_.empty()) g_main_context_iteration(nullptr, TRUE);
    const Event event = events_.front();
    events_.pop_front();
    return event;
  }

  void CloseWindow(ControlId window) override {
    calls_.Run([this, window] {
      if (window_ == nullptr || Widget(window) != window_) return;
      closing_ = true;
      gtk_widget_destroy(window_);
      while (gtk_events_pending()) gtk_main_iteration();
    });
  }

  // --- Controls ----------------------------------------------------------

  void SetEnabled(ControlId control, bool enabled) override {
    calls_.Run([this, control, enabled] {
      if (GtkWidget* widget = Widget(control)) {
        gtk_widget_set_sensitive(widget, enabled);
        Trace(std::string(enabled ? "enable " : "disable ") + std::to_string(control));
      }
    });
  }

  void SetText(ControlId control, std::u16string_view text) override {
    calls_.Run([this, control, text = Utf8(text)] {
      const Control* target = Find(control);
      if (target == nullptr || target->widget == nullptr) return;
      switch (target->kind) {
        case ControlKind::WebView:
          if (text.empty()) return;
          webkit_web_view_load_uri(WEBKIT_WEB_VIEW(target->widget), text.c_str());
          break;
        case ControlKind::EditField:
          gtk_entry_set_text(GTK_ENTRY(target->widget), text.c_str());
          break;
        case ControlKind::Button:
          gtk_button_set_label(GTK_BUTTON(target->widget), text.c_str());
          break;
        case ControlKind::Frame:
          if (target->widget == window_) {
            gtk_window_set_title(GTK_WINDOW(window_), text.c_str());
          } else {
            gtk_frame_set_label(GTK_FRAME(target->widget), text.empty() ? nullptr : text.c_str());
          }
          break;
        case ControlKind::StatusBar:
        case ControlKind::ListView:
          return;
      }
      Trace("text " + std::to_string(control) + " " + text);
    });
  }

  void SetStatusField(ControlId status_bar, int field, std::u16string_view text,
                      FieldAlign align) override {
    calls_.SetField(status_bar, field, text, align);
  }

  void InsertRow(ControlId list, int position, std::u16string_view text) override {
    calls_.Run([this, list, position, text = RowDisplayText(text)] {
      const Control* target = Find(list);
      if (target == nullptr || target->store == nullptr) return;
      GtkTreeIter iter;
      gtk_list_store_insert_with_values(target->store, &iter, position, 0, text.c_str(), -1);
      Trace("row " + std::to_string(list) + " " + std::to_string(position) + " " + text);
    });
  }

  int RowCount(ControlId list) override {
    return calls_.Call<int>([this, list] {
      const Control* target = Find(list);
      if (target == nullptr || target->store == nullptr) return 0;
      return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(target->store), nullptr);
    });
  }

  std::u16string RowText(ControlId list, int row) override {
    return calls_.Call<std::u16string>([this, list, row] {
      const Control* target = Find(list);
      GtkTreeIter iter;
      if (target == nullptr || target->store == nullptr || row < 0 ||
          !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(target->store), &iter, nullptr, row)) {
        return std::u16string();
      }
      gchar* text = nullptr;
      gtk_tree_model_get(GTK_TREE_MODEL(target->store), &iter, 0, &text, -1);
      std::u16string result = FromUtf8(text);
      g_free(text);
      return result;
    });
  }

  void RemoveAllRows(ControlId list) override {
    calls_.Run([this, list] {
      const Control* target = Find(list);
      if (target == nullptr || target->store == nullptr) return;
      gtk_list_store_clear(target->store);
      Trace("clear rows " + std::to_string(list));
    });
  }

  // --- Dialogs -------------------------------------------------------------

  std::u16string ChooseFolder(std::u16string_view title, std::u16string_view initial) override {
    return calls_.Call<std::u16string>([this, title = Utf8(title), initial = Utf8(initial)] {
      Trace("chooser " + title);
      GtkWidget* dialog = gtk_file_chooser_dialog_new(
          title.c_str(), window_ == nullptr ? nullptr : GTK_WINDOW(window_),
          GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel", GTK_RESPONSE_CANCEL, "_Select",
          GTK_RESPONSE_ACCEPT, nullptr);
      GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
      gtk_file_chooser_set_local_only(chooser, TRUE);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
      std::string start = initial;
      while (start.size() > 1 && start.back() == '/') start.pop_back();
      if (!start.empty()) gtk_file_chooser_set_current_folder(chooser, start.c_str());
      std::string typed;
      g_signal_connect(dialog, "key-press-event", G_CALLBACK(&GtkPlatform::OnChooserKey), &typed);
      std::u16string folder;
      if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (!typed.empty()) {
          folder = DecodeFileName(typed);
        } else if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
          folder = DecodeFileName(name);
          g_free(name);
        }
        if (!folder.empty() && folder.back() != u'/') folder += u'/';
      }
      gtk_widget_destroy(dialog);
      Trace("chooser result " + Utf8(folder));
      return folder;
    });
  }

  void ShowMessage(std::u16string_view title, std::u16string_view text,
                   std::stop_token stop) override {
    Box(title, text, BoxKind::Message, std::move(stop));
  }

  Answer AskYesNo(std::u16string_view title, std::u16string_view text,
                  DefaultButton default_button, std::stop_token stop) override {
    const std::optional<int> response =
        Box(title, text, default_button == DefaultButton::No ? BoxKind::QuestionNo
                                                             : BoxKind::QuestionYes,
            std::move(stop));
    if (!response) return Answer::Stopped;
    return *response == GTK_RESPONSE_YES ? Answer::Yes : Answer::No;
  }

  // --- Clipboard -----------------------------------------------------------

  void ClearClipboard() override {
    calls_.Run([this] {
      gtk_clipboard_clear(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
      Trace("clipboard clear");
    });
  }

  bool SetClipboardText(std::u16string_view text) override {
    return calls_.Call<bool>([this, text = std::u16string(text)] {
      GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
      GtkTargetList* list = gtk_target_list_new(nullptr, 0);
      gtk_target_list_add_text_targets(list, 0);
      gint count = 0;
      GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
      gtk_target_list_unref(list);
      const bool owned = gtk_clipboard_set_with_owner(clipboard, targets, static_cast<guint>(count),
                                                      &GtkPlatform::ProvideClipboardText,
                                                      &GtkPlatform::ForgetClipboardText,
                                                      clipboard_owner_) != FALSE;
      gtk_target_table_free(targets, count);
      if (owned) {
        clipboard_text_ = text;
        clipboard_utf8_ = Utf8(text);
      }
      Trace("clipboard set " + std::to_string(text.size()) + " units");
      return owned;
    });
  }

  std::optional<std::u16string> ReadClipboardText() override {
    return calls_.Call<std::optional<std::u16string>>([this]() -> std::optional<std::u16string> {
      GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
      // While nobody has copied since, the clipboard holds what this program
      // put there: no need to fetch it through the selection again.
      if (gtk_clipboard_get_owner(clipboard) == clipboard_owner_) return clipboard_text_;
      GdkAtom* targets = nullptr;
      gint count = 0;
      if (!gtk_clipboard_wait_for_targets(clipboard, &targets, &count)) {
        // Nobody owns the clipboard (no text), or its owner did not answer.
        if (ClipboardHasOwner()) return std::nullopt;
        return std::u16string();
      }
      const GdkAtom utf8_atom = gdk_atom_intern_static_string("UTF8_STRING");
      bool utf8 = false;
      for (gint i = 0; i < count; ++i) utf8 = utf8 || targets[i] == utf8_atom;
      const bool text = gtk_targets_include_text(targets, count) != FALSE;
      g_free(targets);
      if (utf8) {
        // UTF8_STRING as it stands: GTK's text accessor would turn every CR
        // into LF, and the exchange text's CRs must compare as they are.
        GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard, utf8_atom);
        if (data == nullptr) return std::nullopt;  // offered, but not delivered
        const gint length = gtk_selection_data_get_length(data);
        std::optional<std::u16string> result;
        if (length >= 0) {
          const auto* bytes = reinterpret_cast<const char*>(gtk_selection_data_get_data(data));
          result = DecodeUtf8(std::string_view(bytes, static_cast<std::size_t>(length)));
        }
        gtk_selection_data_free(data);
        return result;
      }
      if (!text) return std::u16string();  // an image, files: no text
      // Owners that offer only older text forms.
      gchar* older = gtk_clipboard_wait_for_text(clipboard);
      if (older == nullptr) return std::nullopt;
      std::u16string result = FromUtf8(older);
      g_free(older);
      return result;
    });
  }

  // Whether any program owns the CLIPBOARD selection (X11 only; elsewhere
  // an unanswered clipboard reads as one without text).
  static bool ClipboardHasOwner() {
    GdkDisplay* display = gdk_display_get_default();
    if (!GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    return XGetSelectionOwner(x, XInternAtom(x, "CLIPBOARD", False)) != None;
  }

  // --- System --------------------------------------------------------------

  std::u16string DesktopFolder() override {
    const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    if (desktop != nullptr && g_file_test(desktop, G_FILE_TEST_IS_DIR)) {
      return DecodeFileName(desktop);
    }
    return DecodeFileName(g_get_home_dir());
  }

  std::u16string PrivateTempFolder() override { return fs::PrivateScratchFolder(); }


  // --- Threads and time ----------------------------------------------------

  std::unique_ptr<Thread> StartThread(std::string_view name,
                                      std::function<void(std::stop_token)> body) override {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    try {
      std::jthread thread([name = std::string(name.substr(0, 15)), body = std::move(body),
                           finished](std::stop_token stop) {
        pthread_setname_np(pthread_self(), name.c_str());
        body(stop);
        finished->store(true);
        g_main_context_wakeup(nullptr);
      });
      return std::make_unique<GtkThread>(std::move(thread), finished, main_thread_);
    } catch (const std::system_error&) {
      return nullptr;
    }
  }

  bool Wait(std::chrono::milliseconds duration, std::stop_token stop) override {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
  }

 private:
  struct Control {
    ControlKind kind;
    GtkWidget* outer;   // what sits in the window (a list view's scroller)
    GtkWidget* widget;  // the control itself
    GtkListStore* store;
  };
  struct ClickTarget {
    GtkPlatform* platform;
    ControlId id;
  };

  Control MakeControl(const ControlSpec& item) {
    const std::string caption = Utf8(item.caption);
    switch (item.kind) {
      case ControlKind::WebView: {
        WebKitSettings* settings = webkit_settings_new();
        webkit_settings_set_hardware_acceleration_policy(
            settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
        // An ephemeral context keeps the page's cache, cookies and storage
        // in memory: nothing of the web view's is written to disk.
        WebKitWebContext* context = webkit_web_context_new_ephemeral();
        GtkWidget* web = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                                 "settings", settings, nullptr));
        g_object_unref(context);  // the view keeps it
        g_object_unref(settings);
        if (!item.fallback.empty()) {
          offline_page_ = Utf8(item.fallback);
          g_signal_connect(web, "load-failed", G_CALLBACK(&GtkPlatform::OnLoadFailed), this);
        }
        if (!caption.empty()) webkit_web_view_load_uri(WEBKIT_WEB_VIEW(web), caption.c_str());
        return {item.kind, web, web, nullptr};
      }
      case ControlKind::Frame: {
        GtkWidget* frame = gtk_frame_new(caption.empty() ? nullptr : caption.c_str());
        return {item.kind, frame, frame, nullptr};
      }
      case ControlKind::ListView: {
        GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
        GtkWidget* tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        g_object_unref(store);  // the view keeps it
        GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
            caption.c_str(), gtk_cell_renderer_text_new(), "text", 0, nullptr);
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column, item.column_width);
        gtk_tree_view_append_column(GTK_TREE_VIEW(tree), column);
        gtk_tree_view_set_grid_lines(GTK_TREE_VIEW(tree), GTK_TREE_VIEW_GRID_LINES_BOTH);
        gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(tree)),
                                    GTK_SELECTION_SINGLE);
        GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                       GTK_POLICY_AUTOMATIC);
        gtk_container_add(GTK_CONTAINER(scroller), tree);
        return {item.kind, scroller, tree, store};
      }
      case ControlKind::Button: {
        GtkWidget* button = gtk_button_new_with_label(caption.c_str());
        return {item.kind, button, button, nullptr};
      }
      case ControlKind::EditField: {
        GtkWidget* entry = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(entry), caption.c_str());
        gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
        return {item.kind, entry, entry, nullptr};
      }
      case ControlKind::StatusBar:
        break;
    }
    return {item.kind, nullptr, nullptr, nullptr};
  }

  const Control* Find(ControlId id) const {
    if (window_ == nullptr || id == kNoControl || id > controls_.size()) return nullptr;
    return &controls_[id - 1];
  }
  GtkWidget* Widget(ControlId id) const {
    const Control* control = Find(id);
    return control == nullptr ? nullptr : control->outer;
  }

  void ApplyField(ControlId bar, int field, std::u16string_view text, FieldAlign align) {
    const Control* target = Find(bar);
    if (target == nullptr || target->kind != ControlKind::StatusBar || field < 0 ||
        static_cast<std::size_t>(field) >= field_labels_.size()) {
      return;
    }
    GtkLabel* label = GTK_LABEL(field_labels_[static_cast<std::size_t>(field)]);
    const std::string utf8 = Utf8(text);
    gtk_label_set_text(label, utf8.c_str());
    gtk_label_set_xalign(label, align == FieldAlign::Center ? 0.5f : 0.0f);
    Trace("status " + std::to_string(field) + (align == FieldAlign::Center ? " center " : " left ") +
          utf8);
  }

  static gboolean DrainThunk(gpointer self) {
    return static_cast<GtkPlatform*>(self)->calls_.Drain(kTasksPerDispatch)
               ? G_SOURCE_CONTINUE  // let the window draw between batches
               : G_SOURCE_REMOVE;
  }

  // --- Message boxes ---

  enum class BoxKind { Message, QuestionYes, QuestionNo };  // Questions name their default

  GtkWidget* MakeBox(std::u16string_view title, std::u16string_view text, BoxKind kind) {
    const bool question = kind != BoxKind::Message;
    // Owned by the main window while it is the active one.
    GtkWindow* owner = window_ != nullptr && gtk_window_is_active(GTK_WINDOW(window_))
                           ? GTK_WINDOW(window_)
                           : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(
        owner, GTK_DIALOG_DESTROY_WITH_PARENT, question ? GTK_MESSAGE_WARNING : GTK_MESSAGE_OTHER,
        question ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", DialogText(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Utf8(title).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog),
                            owner != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    if (question) {
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
      gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), icon);
      G_GNUC_END_IGNORE_DEPRECATIONS
      gtk_widget_show(icon);
      gtk_dialog_set_default_response(
          GTK_DIALOG(dialog), kind == BoxKind::QuestionNo ? GTK_RESPONSE_NO : GTK_RESPONSE_YES);
    } else {
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    }
    Trace(std::string(question ? "question " : "message ") + Utf8(title) +
          (kind == BoxKind::QuestionNo ? " (default No)" : ""));
    return dialog;
  }

  static void OnBoxResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto& state = **static_cast<std::shared_ptr<BoxState>*>(data);
    {
      std::lock_guard lock(state.mutex);
      state.answered = true;
      state.response = response;
    }
    state.answered_cv.notify_all();
    state.dialog = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
  }

  // Shows a box and waits for its answer; nullopt when `stop` closed it.
  std::optional<int> Box(std::u16string_view title, std::u16string_view text, BoxKind kind,
                         std::stop_token stop) {
    if (calls_.OnMain()) {
      GtkWidget* dialog = MakeBox(title, text, kind);
      const int response = gtk_dialog_run(GTK_DIALOG(dialog));
      gtk_widget_destroy(dialog);
      return response;
    }
    if (stop.stop_requested()) return std::nullopt;
    auto state = std::make_shared<BoxState>();
    // Not modal: the main window stays closable while the box waits, and a
    // close ends the run.
    calls_.Run([this, state, title = std::u16string(title), text = std::u16string(text),
               kind] {
      GtkWidget* dialog = MakeBox(title, text, kind);
      state->dialog = dialog;
      g_signal_connect_data(
          dialog, "response", G_CALLBACK(OnBoxResponse), new std::shared_ptr<BoxState>(state),
          [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<BoxState>*>(data); },
          GConnectFlags(0));
      gtk_widget_show_all(dialog);
    });
    std::unique_lock lock(state->mutex);
    state->answered_cv.wait(lock, stop, [&] { return state->answered; });
    if (state->answered) return state->response;
    lock.unlock();
    calls_.Run([state] {
      if (GtkWidget* dialog = std::exchange(state->dialog, nullptr)) gtk_widget_destroy(dialog);
    });
    return std::nullopt;
  }

  // --- Window signals ---

  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
    auto* platform = static_cast<GtkPlatform*>(self);
    platform->Trace("close requested");
    platform->events_.push_back({Event::Kind::CloseRequest, 1});
    return TRUE;  // the program closes the window itself
  }

  static void OnWindowDestroyed(GtkWidget*, gpointer self) {
    auto* platform = static_cast<GtkPlatform*>(self);
    platform->window_ = nullptr;
    platform->field_labels_.clear();
    if (!platform->closing_) {
      // Destroyed from outside: the program ends as after a close request.
      platform->Trace("window destroyed");
      platform->events_.push_back({Event::Kind::CloseRequest, 1});
    }
  }

  // Enter in the chooser's location field takes the folder the user typed.
  // The field completes a name as it is typed (a folder's only subfolder,
  // say) and shows the completion selected; without this, Enter would
  // choose the completed folder rather than the typed one.
  static gboolean OnChooserKey(GtkWidget* dialog, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter) return FALSE;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog));
    if (focus == nullptr || !GTK_IS_ENTRY(focus) ||
        std::string_view(G_OBJECT_TYPE_NAME(focus)) != "GtkFileChooserEntry") {
      return FALSE;
    }
    std::string text = gtk_entry_get_text(GTK_ENTRY(focus));
    gint from = 0, to = 0;
    if (gtk_editable_get_selection_bounds(GTK_EDITABLE(focus), &from, &to) &&
        to == gtk_entry_get_text_length(GTK_ENTRY(focus))) {
      // Cut the selected completion off (positions count characters).
      const gchar* cut = g_utf8_offset_to_pointer(text.c_str(), from);
      text.resize(static_cast<std::size_t>(cut - text.c_str()));
    }
    if (text.empty()) return FALSE;
    std::string path;
    if (text == "~" || text.starts_with("~/")) {
      path = std::string(g_get_home_dir()) + text.substr(1);
    } else if (text.front() == '/') {
      path = text;
    } else if (gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog))) {
      path = std::string(current) + "/" + text;
      g_free(current);
    }
    if (path.empty() || !g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) return FALSE;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    *static_cast<std::string*>(data) = path;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    return TRUE;
  }

  // The translator page could not be loaded: the program's own page
  // instead of the engine's error. A load stopped for another load (a
  // reset, a click) is no failure.
  static gboolean OnLoadFailed(WebKitWebView* web, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self) {
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR,
                        WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
      return FALSE;
    }
    auto* platform = static_cast<GtkPlatform*>(self);
    platform->Trace(std::string("web view offline page (") + error->message + ")");
    webkit_web_view_load_alternate_html(web, platform->offline_page_.c_str(), uri, nullptr);
    return TRUE;
  }

  static void OnClicked(GtkButton*, gpointer data) {
    auto* target = static_cast<ClickTarget*>(data);
    target->platform->events_.push_back({Event::Kind::ControlEvent, target->id});
  }

  // The clipboard asks for the text this program put on it.
  static void ProvideClipboardText(GtkClipboard*, GtkSelectionData* data, guint, gpointer owner) {
    auto* self = static_cast<GtkPlatform*>(g_object_get_data(G_OBJECT(owner), "platform"));
    gtk_selection_data_set_text(data, self->clipboard_utf8_.data(),
                                static_cast<gint>(self->clipboard_utf8_.size()));
  }
  static void ForgetClipboardText(GtkClipboard*, gpointer) {}

  void Trace(const std::string& line) { trace_.Write(line); }

  const std::thread::id main_thread_ = std::this_thread::get_id();
  TraceWriter trace_;
  std::string offline_page_;  // shown when the web view's address fails to load
  GtkWidget* window_ = nullptr;
  bool closing_ = false;
  std::vector<Control> controls_;  // id = index + 1
  std::vector<GtkWidget*> field_labels_;
  std::deque<ClickTarget> clicks_;  // stable addresses for signal data
  std::deque<Event> events_;

  GObject* clipboard_owner_ = nullptr;
  std::u16string clipboard_text_;
  std::string clipboard_utf8_;

  MainThreadCalls calls_{
      [this] {
        g_idle_add_full(G_PRIORITY_DEFAULT, &GtkPlatform::DrainThunk, this, nullptr);
        return true;
      },
      [this](ControlId bar, int field, std::u16string_view text, FieldAlign align) {
        ApplyField(bar, field, text, align);
      }};
};

}  // namespace

std::unique_ptr<Platform> CreateDesktopPlatform(int& argc, char**& argv, std::string& error) {
  // WebKit's sandbox cannot set up its namespaces for root; a virtual
  // display has no GPU, and the translator page needs none.
  if (::geteuid() == 0) ::setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 0);
  ::setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
  g_set_prgname("quillmark");
  if (!gtk_init_check(&argc, &argv)) {
    const char* display = std::getenv("DISPLAY");
    const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "quillmark";
    error = (display == nullptr || *display == 0)
                ? "quillmark: no display to open the window on (DISPLAY is not set); without "
                  "one, run it as: xvfb-run -a " + program
                : "quillmark: cannot open display " + std::string(display) +
                      "; without one, run it as: xvfb-run -a " + program;
    return nullptr;
  }
  if (GdkDisplay* display = gdk_display_get_default(); GDK_IS_X11_DISPLAY(display)) {
    // GDK ends the program on an X error that none of its error traps
    // covers. When another client destroys the window (xdotool windowclose,
    // xkill of a single window), the requests GDK and the web view still
    // make on it fail with BadWindow, BadDrawable or an extension's error,
    // and the program is meant to go on and close as after a close request.
    // An error handler of our own is not enough: GDK puts its own back for
    // as long as any of its traps is pushed, so an error that arrives then
    // still ended the program now and then. One trap pushed for the whole
    // run covers every later request instead.
    gdk_x11_display_error_trap_push(display);
  }
  return std::make_unique<GtkPlatform>();
}

}  // namespace qm
