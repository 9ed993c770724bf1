// Every text the window shows, in the order a user meets them. They are
// the program's own words and stay exactly as they are, spelling included
// ("Desitnation Error", "could`nt"): users and their scripts know them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qm {

// --- The window, when it opens ---------------------------------------------

// The window's captions, by index.
inline constexpr std::size_t kLanguageTextCount = 10;
using LanguageTable = std::array<std::u16string_view, kLanguageTextCount>;
inline constexpr LanguageTable kLanguageTable = {
    u"Quillmark",    // 0 window title
    u"FileName",     // 1 header of FileListView
    u"Source",       // 2 label of SourceButton
    u"Destination",  // 3 not shown
    u"",             // 4 initial text of SourcePathField
    u"",             // 5 initial text of DestinationPathField
    u"Start",        // 6 not shown
    u"Translated",   // 7 header of TranslatedListView
    u"",             // 8 caption of WebViewFrame
    u"",             // 9 caption of ControlsFrame
};

// The web view, when the translator page cannot be reached (no network, a
// blocked address): a page of the program's own instead of the engine's
// error. The page is tried again after every file.
inline constexpr std::u16string_view kOfflinePage =
    u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillmark</title></head>"
    u"<body style=\"font-family: sans-serif; margin: 2em; max-width: 40em; color: #333\">"
    u"<h2>The translator page could not be reached</h2>"
    u"<p>Quillmark shows an online translator here, and this computer cannot reach it just "
    u"now: there may be no network, or the address may be blocked.</p>"
    u"<p>Any translator works the same way. Open one in your browser, or in a program of your "
    u"own, paste what Quillmark has put on the clipboard, and copy the translation back: "
    u"Quillmark notices it and asks you to confirm it.</p>"
    u"<p>The page is tried again after each file.</p></body></html>";

// Field 1 blinks the state between these, half a second on, half off.
inline constexpr std::u16string_view kBlinkOpen = u"<<<  ";
inline constexpr std::u16string_view kBlinkClose = u"  >>>";
inline constexpr std::u16string_view kMonitoringState = u"Monitoring";

// --- Pressing Source ---------------------------------------------------------

inline constexpr std::u16string_view kSourceChooserTitle =
    u"Select a Source Path For Quillmark Project";
inline constexpr std::u16string_view kDestinationChooserTitle =
    u"Select a Destination  Path For Quillmark Project";
// The chooser's note when the path typed into it is not a folder (it stays open).
inline constexpr std::u16string_view kNotAFolderNote =
    u"This is not a folder. Type the path of a folder, or pick one in the tree.";
inline constexpr std::u16string_view kSourceErrorTitle = u"Source Error";
inline constexpr std::u16string_view kSourceErrorText = u"Please Select a Project Source Folder";
inline constexpr std::u16string_view kDestinationErrorTitle = u"Desitnation Error";
inline constexpr std::u16string_view kDestinationErrorText =
    u"Please Select a Project Destination Folder";

// --- A run: the files are collected ----------------------------------------

inline constexpr std::u16string_view kParsingBanner = u"<<<  PARSING  >>>";
inline constexpr std::u16string_view kParsingState = u"Parsing";
// Field 0: "Files: 3   FILES TRANSLATED  --> 0" when the files are
// counted, "Files: 3   FILES TRANSLATED -->  1" after each file.
inline constexpr std::u16string_view kFilesPrefix = u"Files: ";
inline constexpr std::u16string_view kFilesTranslated = u"   FILES TRANSLATED";
inline constexpr std::u16string_view kCountsArrowAtStart = u"  --> ";
inline constexpr std::u16string_view kCountsArrowAfterFile = u" -->  ";

// --- Each file ---------------------------------------------------------------

inline constexpr std::u16string_view kLineCountPrefix = u"TCL: ";
inline constexpr std::u16string_view kItemCountPrefix = u"TD: ";
// "Could not read " + path + "\n" + the reason.
inline constexpr std::u16string_view kReadErrorTitle = u"File Read Error";
inline constexpr std::u16string_view kCouldNotRead = u"Could not read ";
inline constexpr std::u16string_view kReadyState = u"PARSED & READY To PASTE";
// Field 2: "CURRENT FILE: Main.pb", and "  (part 2 of 3)" after it while a
// file goes in pieces.
inline constexpr std::u16string_view kCurrentFilePrefix = u"CURRENT FILE: ";
inline constexpr std::u16string_view kPartOpen = u"  (part ";
inline constexpr std::u16string_view kPartOf = u" of ";
inline constexpr std::u16string_view kPartClose = u")";
// The box: the first 60 code units of the clipboard, the question, and the
// warning when the line count differs.
inline constexpr std::u16string_view kChangedTitle = u"ClipBoard Text Changed";
inline constexpr std::u16string_view kQuestion =
    u"\r\rIf Data is Correct ! Click Yes \rElse Click No To Continue Monitoring the ClipBoard";
inline constexpr std::u16string_view kWarningOpen = u"\r\rWARNING: ";
inline constexpr std::u16string_view kWarningCameBack = u" lines came back for ";
inline constexpr std::u16string_view kWarningSent =
    u" sent. Lines after a missing or extra one would land in the wrong places.";
// "could`nt Create Temp Purebasic file\n" + the reason.
inline constexpr std::u16string_view kCreationErrorTitle = u"File Creation Error";
inline constexpr std::u16string_view kCreationErrorText = u"could`nt Create Temp Purebasic file\n";
inline constexpr std::u16string_view kSavedRow = u"Translation Saved";
inline constexpr std::u16string_view kFailedRow = u"Translation Failed";
inline constexpr std::u16string_view kFilesTranslatedState = u"Files Translated:  ";

// --- The end of a run --------------------------------------------------------

inline constexpr std::u16string_view kCompleteState = u"Translation Process Complete";
inline constexpr std::u16string_view kCompletedBanner = u" <<<  Translation Completed  >>>";

}  // namespace qm
