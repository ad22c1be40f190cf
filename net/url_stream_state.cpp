#include "net/url_stream_state.h"

#include <unistd.h>

#include "net/url_request.h"

namespace vek {

UrlStream::~UrlStream() {
    CloseRequest(this);
    if (write_fd >= 0) close(write_fd);
    if (save_fd >= 0) close(save_fd);
}

}  // namespace vek
