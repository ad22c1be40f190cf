// Being written.
#include "playlist/playlist.h"
