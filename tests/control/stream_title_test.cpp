// A stream's title on its way from the download thread to the current entry.
#include "control/stream_title.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/stream_title.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"
#include "playlist/playlist.h"

namespace vek {
namespace {

std::vector<std::string> g_shown;

intptr_t TitleProc(Window*, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    std::string title;
    if (message == UIM_STREAM_TITLE && HandleStreamTitle(wparam, lparam, &title))
        g_shown.push_back(title);
    return 0;
}

TEST(StreamTitle, GoesOnlyToTheCurrentEntryAndOnlyWhenItIsTheStream) {
    Window window;
    InitWindow(&window, TitleProc, nullptr);
    SetMainWindow(&window);
    ClearPlaylist();
    ASSERT_TRUE(AppendEntry("http://one.example/radio"));
    ASSERT_TRUE(AppendEntry("http://two.example/radio"));
    ASSERT_TRUE(SelectEntry(1));
    // The player moved on from the first stream while its title was on its way.
    PostStreamTitle("http://one.example/radio", "Late");
    PostStreamTitle("http://two.example/radio", "Song");
    PostStreamTitle("http://two.example/radio", "Song");
    Message m;
    while (PeekMessage(&m)) DispatchMessage(m);
    SetMainWindow(nullptr);

    EXPECT_EQ(g_shown, std::vector<std::string>{"Song"});
    EXPECT_EQ(gPlaylist.first->title, nullptr);
    ASSERT_NE(gPlaylist.current->title, nullptr);
    EXPECT_STREQ(gPlaylist.current->title, "Song");
    ClearPlaylist();
}

}  // namespace
}  // namespace vek
