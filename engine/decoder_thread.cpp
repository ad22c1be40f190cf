// Being written.
#include "engine/decoder_thread.h"
