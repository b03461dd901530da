#include "platform/loopback_server.h"

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace platform {

struct LoopbackServer::State {
    httplib::Server server;
    std::thread thread;
    std::mutex lock;  // one request at a time, and never during an update
    HttpGetHandler handler;
};

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {}

LoopbackServer::~LoopbackServer() {
    stop();
}

int LoopbackServer::start(HttpGetHandler handler, std::string& error) {
    State& s = *state_;
    s.handler = std::move(handler);
    // A browser keeps a connection or two open; a couple of threads answer a single page's polls.
    s.server.new_task_queue = [] { return new httplib::ThreadPool(2); };
    s.server.set_keep_alive_timeout(2);
    s.server.set_read_timeout(5);
    // Nothing a page sends is read: only GET (and HEAD, which the library answers from GET).
    s.server.set_payload_max_length(0);
    s.server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        if (request.method == "GET" || request.method == "HEAD") return httplib::Server::HandlerResponse::Unhandled;
        response.status = 405;
        response.set_content("only GET is answered\n", "text/plain; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    });
    s.server.Get(".*", [&s](const httplib::Request& request, httplib::Response& response) {
        HttpReply reply;
        {
            std::lock_guard<std::mutex> hold(s.lock);
            reply = s.handler(request.path);
        }
        response.status = reply.status;
        response.set_header("Cache-Control", "no-store");
        response.set_content(std::move(reply.body), reply.contentType.c_str());
    });
    const int port = s.server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        error = "cannot listen on a port of 127.0.0.1";
        return 0;
    }
    s.thread = std::thread([&s] { s.server.listen_after_bind(); });
    return port;
}

void LoopbackServer::update(const std::function<void()>& change) {
    std::lock_guard<std::mutex> hold(state_->lock);
    change();
}

void LoopbackServer::stop() {
    State& s = *state_;
    if (!s.thread.joinable()) return;
    // The library ignores a stop that comes before its loop has started.
    for (int i = 0; i < 200 && !s.server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    s.server.stop();
    s.thread.join();
}

}  // namespace platform
