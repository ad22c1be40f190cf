#include "control/playlist_link.h"

#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "net/playlist_link.h"
#include "playlist/playlist.h"

namespace vek {

LinkOutcome HandlePlaylistLink(uintptr_t wparam, intptr_t lparam) {
    PlaylistLinkReport report;
    if (!ReadPlaylistLink(wparam, lparam, &report)) return LinkOutcome::kIgnored;
    PlaylistEntry* link = gPlaylist.current;
    // Next, Previous or a new list may have come while the link was fetched.
    if (!link || gPlaylist.current_removed || report.url != link->path)
        return LinkOutcome::kIgnored;
    FetchedPlaylist fetched;
    fetched.base_url = report.base;
    fetched.pls = report.kind == LinkKind::kPls;
    fetched.complete = !report.over_limit;
    fetched.text = report.body;
    bool expanded = ExpandPlaylistLink(link, fetched);
    RefreshPlaylistEditor();
    if (!expanded) return LinkOutcome::kFailed;
    // A stop while the link was fetched holds for its entries too.
    if (StopPostedSinceLastPlay()) return LinkOutcome::kIgnored;
    PlayCurrentEntry();
    return LinkOutcome::kPlaying;
}

}  // namespace vek
