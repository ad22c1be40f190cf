// What the core asks of a desktop: message boxes and the save-file chooser.
// The front-end fills the hooks; until it does, headless stand-ins print the box
// on stderr and give configured answers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/thread_queue.h"

namespace vek {

// Message box styles and answers; the values match the ones stored by peers
// of the original design and are used as flags.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_SETFOREGROUND = 0x10000;
inline constexpr unsigned MB_TOPMOST = 0x40000;
inline constexpr unsigned MB_TYPEMASK = 0xF;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct DesktopHooks {
    // Any thread may ask; the box is modal to its owner (none: no owner) and the
    // asking thread waits for the answer. Returns the button chosen.
    int (*message_box)(Window* owner, const char* text, const char* caption, unsigned style);
    // Asks for a file name to write. On true, out holds the name (at most out_size
    // bytes with the terminator); false when the user cancelled.
    bool (*choose_save_file)(Window* owner, const char* filter_name, const char* pattern,
                             const char* title, const char* default_extension, char* out,
                             size_t out_size);
};

// Replaces the hooks (a copy is kept). Call before other threads ask.
void SetDesktopHooks(const DesktopHooks& hooks);
const DesktopHooks& HeadlessDesktopHooks();

int ShowMessageBox(Window* owner, const char* text, const char* caption, unsigned style);
bool ChooseSaveFile(Window* owner, const char* filter_name, const char* pattern,
                    const char* title, const char* default_extension, char* out,
                    size_t out_size);

// A name as a box shows it: its first 200 characters (UTF-8 sequences kept
// whole, any other byte one character), then an ellipsis if more followed. A
// box of a whole 1 MB name would take seconds and megabytes to lay out.
std::string NameForBox(const char* name);

// A box kept back by CollectMessageBoxes.
struct KeptMessageBox {
    Window* owner;
    std::string text;
    std::string caption;
    unsigned style;
};

// While a list is given, the boxes with only an OK button that this thread
// asks for are kept in it instead of shown (the answer is IDOK); boxes that ask
// a question are still shown. nullptr ends it. Lets a hand-over finish without
// waiting for the user and report afterwards.
void CollectMessageBoxes(std::vector<KeptMessageBox>* into);

// Answers of the headless hooks: the Yes/No answer (IDYES or IDNO, default IDNO)
// and the name the save chooser gives (none: it cancels).
void SetHeadlessYesNoAnswer(int answer);
void SetHeadlessSaveName(const char* name);

// The main window's handle: the owner of most boxes, the receiver of the
// decoder thread's reports. None until the front-end has made it.
void SetMainWindow(Window* window);
Window* MainWindow();

}  // namespace vek
