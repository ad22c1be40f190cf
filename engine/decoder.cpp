// Being written.
#include "engine/decoder.h"
