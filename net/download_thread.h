// The download thread of a URL stream: it performs the request, tells the
// opener once the server has answered, and copies the body into the pipe (and
// the save file) until the body ends, the network fails or WM_QUIT arrives.
#pragma once

namespace vek {

// Thread body. arg is a `new std::shared_ptr<UrlStream>` that the thread takes
// over. How the transfer ended is told through the record; always returns 1.
int DownloadThread(void* arg);

}  // namespace vek
