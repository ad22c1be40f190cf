#include "platform/desktop_hooks.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace vek {
namespace {

std::atomic<int> g_yes_no_answer{IDNO};
std::mutex g_save_mutex;
std::string g_save_name;  // guarded by g_save_mutex
bool g_save_cancels = true;

int HeadlessMessageBox(Window*, const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    if ((style & MB_TYPEMASK) == MB_YESNO) return g_yes_no_answer.load();
    return IDOK;
}

bool HeadlessChooseSaveFile(Window*, const char*, const char*, const char*, const char*, char* out,
                            size_t out_size) {
    std::lock_guard<std::mutex> lock(g_save_mutex);
    if (g_save_cancels || g_save_name.size() + 1 > out_size) return false;
    std::memcpy(out, g_save_name.c_str(), g_save_name.size() + 1);
    return true;
}

const DesktopHooks kHeadless{HeadlessMessageBox, HeadlessChooseSaveFile};

std::mutex g_hooks_mutex;
DesktopHooks g_hooks = kHeadless;  // guarded by g_hooks_mutex
std::atomic<Window*> g_main_window{nullptr};
thread_local std::vector<KeptMessageBox>* t_kept_boxes = nullptr;

DesktopHooks CurrentHooks() {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    return g_hooks;
}

}  // namespace

void SetDesktopHooks(const DesktopHooks& hooks) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    g_hooks = hooks;
}

const DesktopHooks& HeadlessDesktopHooks() { return kHeadless; }

int ShowMessageBox(Window* owner, const char* text, const char* caption, unsigned style) {
    if (t_kept_boxes && (style & MB_TYPEMASK) == MB_OK) {
        t_kept_boxes->push_back(
            KeptMessageBox{owner, text ? text : "", caption ? caption : "", style});
        return IDOK;
    }
    return CurrentHooks().message_box(owner, text, caption, style);
}

bool ChooseSaveFile(Window* owner, const char* filter_name, const char* pattern,
                    const char* title, const char* default_extension, char* out,
                    size_t out_size) {
    return CurrentHooks().choose_save_file(owner, filter_name, pattern, title, default_extension,
                                           out, out_size);
}

std::string NameForBox(const char* name) {
    constexpr int kShownCharacters = 200;
    const char* p = name;
    for (int shown = 0; *p && shown < kShownCharacters; ++shown) {
        int follow = 0;
        auto lead = static_cast<unsigned char>(*p);
        if (lead >= 0xC2 && lead <= 0xF4) follow = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        ++p;
        while (follow-- > 0 && (static_cast<unsigned char>(*p) & 0xC0) == 0x80) ++p;
    }
    return *p ? std::string(name, p) + "\xE2\x80\xA6" : std::string(name);
}

void CollectMessageBoxes(std::vector<KeptMessageBox>* into) {
    t_kept_boxes = into;
}

void SetHeadlessYesNoAnswer(int answer) { g_yes_no_answer.store(answer); }

void SetHeadlessSaveName(const char* name) {
    std::lock_guard<std::mutex> lock(g_save_mutex);
    g_save_cancels = name == nullptr;
    g_save_name = name ? name : "";
}

void SetMainWindow(Window* window) { g_main_window.store(window); }
Window* MainWindow() { return g_main_window.load(); }

}  // namespace vek
