// The editor's HTTP server: listens on one address, reads each request with
// caps on its header and body and a time limit for slow clients, hands it to
// a handler, writes the answer. One thread serves every connection, so the
// handler runs for one request at a time; SIGINT and SIGTERM (Ctrl+C) stop
// it between requests, so that a commit in progress completes first.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "vkcdict/edit/Api.h"

namespace vkcdict::edit {

constexpr size_t kMaxBodyBytes = size_t{1} << 20;
constexpr size_t kMaxHeaderBytes = 16 * 1024;
constexpr int kIdleSeconds = 15;   // a client silent this long is dropped
constexpr int kLingerSeconds = 3;  // what a refused client still sends is read this long

struct ServeOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 0;  // 0: one the system picks
};

// Listens on `options`; then calls `listening(port)` with the port taken and
// serves with `handle` until a signal stops it. Returns true after a clean
// stop; false with `*error` when the address cannot be listened on
// (`*busy` set when the port is taken).
bool Serve(const ServeOptions& options, const std::function<Response(const Request&)>& handle,
           const std::function<void(unsigned short port)>& listening, std::string* error,
           bool* busy);

}  // namespace vkcdict::edit
