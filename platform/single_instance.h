// One player per user and display: the first player listens on a local socket
// private to the user and named after the display; a later start on the same
// display finds it there and hands its file names over as copy-data records,
// waiting for the player to handle each before it sends the next.
#pragma once

#include <cstdint>
#include <string>

#include "platform/thread_queue.h"

namespace vek {

// The window message that carries a record to the main window; lparam points
// to a CopyData, valid during the call.
inline constexpr uint32_t WM_COPYDATA = 0x004A;

// Posted to the main window when a later start's hand-over is over (it hung up,
// or was given up): what went wrong during it can be shown now.
inline constexpr uint32_t UIM_HANDOVER_ENDED = 0x8210;

// Record kinds.
inline constexpr uint32_t CDS_CLEAR = 0;         // stop and empty the playlist
inline constexpr uint32_t CDS_ADD = 1;           // add the name in data
inline constexpr uint32_t CDS_REPLACE_PLAY = 2;  // stop, empty, add the name, play
inline constexpr uint32_t CDS_PLAY_ENTRY = 3;    // play entry number size
inline constexpr uint32_t CDS_PLAY_FIRST = 4;    // play the first entry

struct CopyData {
    uint32_t kind = 0;
    uint32_t size = 0;           // bytes of data for names; the position for CDS_PLAY_ENTRY
    const char* data = nullptr;  // the name's bytes, not terminated
};

// How long the listener waits for each whole record (from the connection, or
// from its answer to the record before), and how long a later start waits for
// each answer. Tests shorten them; zero restores the default.
inline constexpr int kHandOverRecordMs = 5000;
inline constexpr int kHandOverAnswerMs = 10000;
void SetHandOverDeadlines(int record_ms, int answer_ms);

// Where the socket lives: vek-DISPLAY.sock (the DISPLAY or else WAYLAND_DISPLAY
// value, made safe for a file name; vek.sock without either) in
// $XDG_RUNTIME_DIR when that is the user's own folder closed to others, else in
// a private folder /tmp/vek-UID/ made for it. Empty when no safe place exists.
std::string HandOverSocketPath();

// A connection to the running player of this user, or -1 when none answers.
int ConnectToRunningPlayer();

// Sends one record and waits for the player's answer. False when the player
// went away or did not answer in time.
bool SendHandOverRecord(int connection, uint32_t kind, uint32_t size, const void* data);

void CloseHandOverConnection(int connection);

// Listens for later starts and delivers their records to main_window with
// SendWindowMessage(WM_COPYDATA), from a thread of its own. The records of one
// start arrive in order and are not mixed with another's; a start that idles
// or dawdles is given up after the record deadline and cannot hold up the
// others. A socket left behind by a player that crashed is replaced. False
// when another player already listens or no socket can be made.
bool StartHandOverListener(Window* main_window);

// Stops listening and removes the socket.
void StopHandOverListener();

}  // namespace vek
