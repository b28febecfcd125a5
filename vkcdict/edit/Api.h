// What the editor's server answers: every request passes the gate (Host,
// token, and for a change a same-origin Origin and a JSON body), then goes
// to the embedded page or the JSON API over a Session. Pure functions of the
// request and the session, with no network code, so that tests and the
// fuzzer call them directly; HttpServer.cpp only carries the bytes.
//
// The API (all under the token; texts are UTF-8, line breaks LF):
//   GET  /?token=T                   sets the token's cookie, back to /
//   GET  /, /app.js, /strings.js, /style.css   the page
//   GET  /api/info                   file, checks, progress
//   GET  /api/records?offset&limit&filter&check&q&in    a page of the list
//   GET  /api/record?n=N             one record, with findings and hints
//   GET  /api/locate?line=L | ?from=N&dir=1|-1&to=finding|untranslated
//   POST /api/commit  {n, version, chi?, remark?}
//   POST /api/preview {n, chi, remark}   findings of unsaved texts
//   POST /api/reload  {}             the file as it now stands on disk
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vkcdict::edit {

class Session;

struct Request {
    std::string method;
    std::string target;  // path and query, as sent
    std::string host;
    std::string origin;
    std::string contentType;
    std::string cookie;
    std::string tokenHeader;  // X-Vkcdict-Token
    std::string body;
};

struct Response {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // besides the common ones
};

// The headers every response carries: a Content-Security-Policy without
// inline scripts and with frame-ancestors 'none', nosniff, no-store.
const std::vector<std::pair<std::string, std::string>>& CommonHeaders();

// A JSON {"error": message} response with `status`.
Response ErrorResponse(int status, const std::string& message);

// Who may ask.
struct Gate {
    std::string token;               // NewToken()
    std::vector<std::string> hosts;  // Host values allowed: "127.0.0.1:PORT", "localhost:PORT"
    std::string cookie;              // the token cookie's name (one per port)
};

class Api {
public:
    // `session` must outlive the Api.
    Api(Session* session, Gate gate) : session_(session), gate_(std::move(gate)) {}
    Response Handle(const Request& request);

private:
    Session* session_;
    Gate gate_;
};

}  // namespace vkcdict::edit
