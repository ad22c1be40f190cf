#include "playlist/playlist_edit.h"

#include <algorithm>

#include "playlist/playlist.h"
#include "playlist/playlist_chain.h"
#include "playlist/playlist_paths.h"

namespace vek {
namespace {

// The nearest entry that stays, after (step 1) or before (step -1) a position.
PlaylistEntry* NearestKept(const std::vector<bool>& drop, int position, int step) {
    for (int i = position + step; i >= 0 && i < static_cast<int>(drop.size()); i += step) {
        if (!drop[static_cast<size_t>(i)]) return gPlaylist.index[static_cast<size_t>(i)];
    }
    return nullptr;
}

// Positions in the list, sorted, without repeats; false when one lies outside.
bool ValidPositions(std::vector<int> positions, std::vector<int>* valid) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (int p : positions)
        if (p < 0 || p >= PlaylistCount()) return false;
    *valid = std::move(positions);
    return true;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int RemoveEntries(const std::vector<int>& positions) {
    const int count = PlaylistCount();
    std::vector<bool> drop(static_cast<size_t>(count), false);
    int removed = 0;
    for (int p : positions) {
        if (p < 0 || p >= count || drop[static_cast<size_t>(p)]) continue;
        drop[static_cast<size_t>(p)] = true;
        ++removed;
    }
    if (removed == 0) return 0;

    // Where Next and Previous continue, found while the positions still hold.
    Playlist& list = gPlaylist;
    if (!list.current_removed) {
        int current = PositionOf(list.current);
        if (drop[static_cast<size_t>(current)]) {
            list.current_removed = true;
            list.after_removed = NearestKept(drop, current, 1);
            list.before_removed = NearestKept(drop, current, -1);
        }
    } else {
        int after = PositionOf(list.after_removed), before = PositionOf(list.before_removed);
        if (after >= 0 && drop[static_cast<size_t>(after)])
            list.after_removed = NearestKept(drop, after, 1);
        if (before >= 0 && drop[static_cast<size_t>(before)])
            list.before_removed = NearestKept(drop, before, -1);
    }
    if (list.current_removed)
        list.current = list.after_removed ? list.after_removed : list.before_removed;

    size_t kept = 0;
    for (size_t i = 0; i < list.index.size(); ++i) {
        if (drop[i])
            FreeEntry(list.index[i]);
        else
            list.index[kept++] = list.index[i];
    }
    list.index.resize(kept);
    RelinkFromIndex();
    if (kept == 0) {
        list.current = nullptr;
        list.current_removed = false;
    }
    return removed;
}

void ReplaceEntryByTail(PlaylistEntry* entry, int from) {
    auto& index = gPlaylist.index;
    int at = PositionOf(entry);
    if (at < 0 || from <= at || from >= PlaylistCount()) return;
    std::rotate(index.begin() + at + 1, index.begin() + from, index.end());
    index.erase(index.begin() + at);
    FreeEntry(entry);
    RelinkFromIndex();
    SelectEntry(at);
}

bool MoveEntries(const std::vector<int>& positions, int delta, std::vector<int>* moved) {
    std::vector<int> sorted;
    if ((delta != -1 && delta != 1) || !ValidPositions(positions, &sorted) || sorted.empty())
        return false;
    if (delta < 0 ? sorted.front() == 0 : sorted.back() == PlaylistCount() - 1) return false;
    // Each entry changes places with the one beside it, nearest the end first,
    // so that a block of neighbours moves as one.
    if (delta > 0) std::reverse(sorted.begin(), sorted.end());
    for (int p : sorted)
        std::swap(gPlaylist.index[static_cast<size_t>(p)],
                  gPlaylist.index[static_cast<size_t>(p + delta)]);
    RelinkFromIndex();
    moved->clear();
    for (int p : sorted) moved->push_back(p + delta);
    std::sort(moved->begin(), moved->end());
    return true;
}

void SortPlaylist(bool descending) {
    std::stable_sort(gPlaylist.index.begin(), gPlaylist.index.end(),
                     [descending](const PlaylistEntry* a, const PlaylistEntry* b) {
                         int order =
                             CompareTitles(EntryFileTitle(a->path), EntryFileTitle(b->path));
                         return descending ? order > 0 : order < 0;
                     });
    RelinkFromIndex();
}

int CompareTitles(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Leading zeros do not count; then the longer run is the larger
            // number, and runs of one length compare digit by digit.
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t end_a = i, end_b = j;
            while (end_a < a.size() && IsDigit(a[end_a])) ++end_a;
            while (end_b < b.size() && IsDigit(b[end_b])) ++end_b;
            if (end_a - i != end_b - j) return end_a - i < end_b - j ? -1 : 1;
            int digits = a.substr(i, end_a - i).compare(b.substr(j, end_b - j));
            if (digits != 0) return digits;
            i = end_a;
            j = end_b;
            continue;
        }
        unsigned char x = static_cast<unsigned char>(Lower(a[i]));
        unsigned char y = static_cast<unsigned char>(Lower(b[j]));
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return (i < a.size()) - (j < b.size());
}

}  // namespace vek
