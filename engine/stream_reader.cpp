// Being written.
#include "engine/stream_reader.h"
