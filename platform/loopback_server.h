// A small HTTP server on the loopback address, for cabhost's watch mode: it answers GET requests
// from a handler, on its own threads, and reads nothing that a page sends. The HTTP library (and the
// threads, which the Windows runtime we link has no standard-library form of) stay behind this
// header, so the host itself stays single-threaded.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

struct HttpReply {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
};

// path: the request's path with its percent-escapes decoded, without the query.
using HttpGetHandler = std::function<HttpReply(const std::string& path)>;

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();  // stops the server
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Listens on 127.0.0.1 at a port the system picks and answers in the background: the port, or
    // 0 with the reason in error.
    int start(HttpGetHandler handler, std::string& error);
    // Runs change while no request is being answered, so that what the handler reads is never
    // seen half changed.
    void update(const std::function<void()>& change);
    void stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
