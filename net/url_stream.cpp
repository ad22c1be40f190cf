// Placeholder until the download thread lands: every URL fails to open.
#include "net/url_stream.h"

namespace vek {
int OpenUrlStream(const char*) { return -1; }
void CloseUrlStream() {}
}  // namespace vek
