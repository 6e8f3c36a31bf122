// English string table (language 1033). Prompt strings are "prompt\nshort name".
#include "platform/framework/StringTable.h"

namespace vexol::res {
namespace {

// clang-format off
const StringTableEntry kEnglish[] = {
    {128, "Video capture software\n\nVexol\n\n\nVexol.Document\nVexol Document"},

    // Message-box texts; the first ID of each range is a header that is never shown.
    {10000, "##### The resource ID for [OK] answer is after 10001"},
    {10001, "The operational environment for the Video capture software is incorrect. Exit the program and reinstall the Video capture software."},
    {10002, "Capture connection failed."},
    {10003, "Out of memory.  The process was not properly terminated."},
    {10004, "Invalid value entered.  Please reenter."},
    {10005, "Failed setting capture file size."},
    {10006, "Failed saving captured video."},
    {10007, "連続静止画保存ﾌｧｲﾙ名を確定するために、1度ｷｬﾌﾟﾁｬ静止画を保存してください。"},
    {10008, "Failed saving the captured movie."},
    {11000, "#####Resource ID for [Retry], [Cancel] answers are after 11001.#####"},
    {11003, "Not enough disk space."},
    {12000, "#####Resource ID for [Yes], [No] answers are after 12001. #####"},

    // Dialog titles, file filters, default extensions and capture status texts.
    {20000, "(Unknown)"},
    {20001, "01-02"},
    {20002, "All files(*.jpg;*.bmp)|*.jpg;*.bmp|JPEG file(*.jpg)|*.jpg|bitmap file(*.bmp)|*.bmp||"},
    {20003, "Save Captured Still Image"},
    {20004, "AVI file(*avi)|*.avi||"},
    {20005, "Capture file setting"},
    {20006, "AVI file(*avi)|*.avi||"},
    {20007, "Save captured movie"},
    {20009, "jpg"},
    {20010, "avi"},
    {20011, "avi"},
    {20012, "Now recording. (Press the Esc key to stop)"},
    {20013, "Recording finished."},
    {20014, "Capture end."},

    // Menu prompts.
    {32771, "Specify capture file\nCapture File Setting"},
    {32772, "Name captured still image and save\nSave Still Image"},
    {32774, "Specifies video format for capture\nImage Format"},
    {32775, "Specifies video source for capture\nVideo Input"},
    {32776, "Specifies image display for capture\nVideo Display"},
    {32777, "Specifies audio format for capture\nAudio Format"},
    {32778, "Specifies various parameters\nParameters"},
    {32779, "Toggle overlay video\nOverlay"},
    {32780, "Toggle preview video\nPreview"},
    {32783, "Captures a single frame\nSingle Frame"},
    {32784, "Captures a sequence of frames\nFrame Sequence"},
    {32785, "Copies the captured frame\nCopy Frame"},
    {32786, "Specifies size of capture file\nCapture File Size"},
    {32787, "Name captured movie and save\nSave Movie"},
    {32790, "Shows the capture file name in the title\nCapture File Name"},
    {32791, "Redraws the capture picture\nRedraw"},
    {32793, "Starting recording\nRecord"},
    {32794, "Switches between captured video still display/movie display\nDisplay Still"},
    {32795, "Stops recording\nStop Recording"},
    {32800, "Selects capture device.\nSpecify capture device"},
    {32801, "Selects capture device.\nSpecify capture device"},
    {32802, "Selects capture device.\nSpecify capture device"},
    {32803, "Selects capture device.\nSpecify capture device"},
    {32804, "Selects capture device.\nSpecify capture device"},
    {32805, "Selects capture device.\nSpecify capture device"},
    {32806, "Selects capture device.\nSpecify capture device"},
    {32807, "Selects capture device.\nSpecify capture device"},
    {32808, "Selects capture device.\nSpecify capture device"},
    {32809, "Selects capture device.\nSpecify capture device"},
    {32810, "Continuously saves captured still images\nContinuous Save"},
    {32811, "Clickwandでｼｬｯﾀｰｽｲｯﾁに連動して静止画を保存します。\nClickwand連続静止画保存"},

    // Framework strings: application title, idle text, prompts of standard commands.
    {57344, "Video capture software"},
    {57345, "Ready"},
    {57664, "Display program information, version and copyright\nAbout"},
    {57665, "End Video capture software\nExit"},
    {57667, "Search for topics\nHelp Topics"},

    // Status bar indicators.
    {59137, "CAP"},
    {59138, "NUM"},
    {59139, "SCRL"},
    {59142, "KANA"},
    {59393, "Show/hide status bar\nToggle Status Bar"},

    // Framework texts: the untitled document's name (Japanese in both tables) and the
    // data-exchange messages.
    {61443, "無題"},
    {61712, "Please enter an integer."},
    {61714, "Please enter an integer between %1 and %2."},
    {61720, "The document \"%1\" cannot be opened."},
};
// clang-format on

} // namespace

std::span<const StringTableEntry> EnglishStrings()
{
    return kEnglish;
}

} // namespace vexol::res
