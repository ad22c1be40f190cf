// One player per user: the first player listens on a per-user local socket; a
// later start finds it there and hands its file names over as copy-data
// records, waiting for the player to handle each before it sends the next.
#pragma once

#include <cstdint>
#include <string>

#include "platform/thread_queue.h"

namespace vek {

// The window message that carries a record to the main window; lparam points
// to a CopyData, valid during the call.
inline constexpr uint32_t WM_COPYDATA = 0x004A;

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

// Where the socket lives: $XDG_RUNTIME_DIR/vek.sock, else a private directory
// /tmp/vek-UID/ made for it. Empty when no safe place exists.
std::string HandOverSocketPath();

// A connection to the running player, or -1 when none answers.
int ConnectToRunningPlayer();

// Sends one record and waits for the player's answer. False when the player
// went away.
bool SendHandOverRecord(int connection, uint32_t kind, uint32_t size, const void* data);

void CloseHandOverConnection(int connection);

// Listens for later starts and delivers their records to main_window with
// SendWindowMessage(WM_COPYDATA), one at a time, from a thread of its own. A
// socket left behind by a player that crashed is replaced. False when another
// player already listens or no socket can be made.
bool StartHandOverListener(Window* main_window);

// Stops listening and removes the socket.
void StopHandOverListener();

}  // namespace vek
