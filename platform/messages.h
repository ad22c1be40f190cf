// Message numbers shared by the threads, windows and processes of the player.
// The values are fixed: peers (a second instance, the display threads) rely on them.
#pragma once

#include <cstdint>

namespace vek {

// System messages.
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_QUIT = 0x0012;

// Thread messages understood by the decoder thread.
inline constexpr uint32_t DTM_PLAY = 0x8100;
inline constexpr uint32_t DTM_PLAY_FILE = 0x8101;
inline constexpr uint32_t DTM_STOP = 0x8102;
inline constexpr uint32_t DTM_CLOSE_OUTPUT = 0x8103;
inline constexpr uint32_t DTM_SEEK = 0x8104;
inline constexpr uint32_t DTM_PRIORITY = 0x8105;

// Private messages of the main window.
inline constexpr uint32_t UIM_TRACK_ENDED = 0x8200;
inline constexpr uint32_t UIM_PLAY_STARTED = 0x8201;
inline constexpr uint32_t UIM_PROGRESS = 0x8202;
// Posted by the decoder thread after its "Could not open file" box: the input
// of a play request did not open and nothing plays.
inline constexpr uint32_t UIM_OPEN_FAILED = 0x8203;
// Posted by the decoder thread when the output would not open for a track (the
// output has said why): the track was stopped as by DTM_STOP.
inline constexpr uint32_t UIM_OUTPUT_FAILED = 0x8204;
// Posted by a URL stream's download thread when the stream's title changes
// (net/stream_title.h says what it carries).
inline constexpr uint32_t UIM_STREAM_TITLE = 0x8205;
// Posted by the decoder thread when the URL it was to play named a playlist
// (net/playlist_link.h says what it carries); nothing plays until the window
// puts the entries in the link's place.
inline constexpr uint32_t UIM_PLAYLIST_LINK = 0x8206;
inline constexpr uint32_t UIM_TRAY_NOTIFY = 0x9388;

// Asks the playlist editor to show the list anew. It shares its number with
// UIM_TRAY_NOTIFY; the two never meet, as each goes to one window only.
inline constexpr uint32_t UIM_PLAYLIST_REFRESH = 0x9388;

// Thread messages understood by the progress ring thread.
inline constexpr uint32_t RTM_SET_PERCENT = 0x6400;
inline constexpr uint32_t RTM_REDRAW = 0x6401;

}  // namespace vek
