// The only file that speaks HTTP: Boost.Beast over Boost.Asio (they compile
// slowly, so nothing else includes them).
#include "vkcdict/edit/HttpServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>

#include "vkcdict/edit/PageText.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict::edit {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

using Handler = std::function<Response(const Request&)>;

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, const Handler& handle)
        : stream_(std::move(socket)), handle_(handle) {}

    void Read() {
        parser_.emplace();
        parser_->header_limit(kMaxHeaderBytes);
        parser_->body_limit(kMaxBodyBytes);
        stream_.expires_after(std::chrono::seconds(kIdleSeconds));
        http::async_read(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRead(ec); });
    }

private:
    void OnRead(beast::error_code ec) {
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::operation_aborted || ec == asio::error::eof ||
            ec == asio::error::connection_reset) {
            Close();
            return;
        }
        if (ec) {
            const int status = ec == http::error::body_limit     ? 413
                               : ec == http::error::header_limit ? 431
                                                                 : 400;
            Respond(ErrorResponse(status, page::Tr("bad request: {1}", {ec.message()})), false, 11);
            return;
        }
        const http::request<http::string_body>& in = parser_->get();
        Request r;
        r.method = std::string(in.method_string());
        r.target = std::string(in.target());
        const auto field = [&in](auto name) {
            const auto it = in.find(name);
            return it == in.end() ? std::string() : std::string(it->value());
        };
        r.host = field(http::field::host);
        r.origin = field(http::field::origin);
        r.contentType = field(http::field::content_type);
        r.cookie = field(http::field::cookie);
        r.tokenHeader = field("X-Vkcdict-Token");
        r.body = in.body();
        Response answer;
        try {
            answer = handle_(r);
        } catch (const std::bad_alloc&) {
            answer = ErrorResponse(500, page::Tr("out of memory"));
        }
        if (r.method == "HEAD") answer.body.clear();
        Respond(std::move(answer), in.keep_alive(), in.version());
    }

    void Respond(Response answer, bool keepAlive, unsigned version) {
        response_ = {};
        response_.version(version);
        response_.result(static_cast<unsigned>(answer.status));
        response_.set(http::field::server, "vkcdict");
        if (!answer.contentType.empty())
            response_.set(http::field::content_type, answer.contentType);
        for (const auto& [name, value] : CommonHeaders()) response_.set(name, value);
        for (const auto& [name, value] : answer.headers) response_.set(name, value);
        response_.body() = std::move(answer.body);
        response_.keep_alive(keepAlive);
        response_.prepare_payload();
        http::async_write(stream_, response_,
                          [self = shared_from_this(), keepAlive](beast::error_code ec, size_t) {
                              if (ec) {
                                  self->Close();
                              } else if (!keepAlive) {
                                  self->Linger();
                              } else {
                                  self->Read();
                              }
                          });
    }

    // Ends a connection whose client may still be sending (a body over the
    // cap): closing with its bytes unread would reset the connection, and
    // the reset can destroy the answer before the client reads it. So the
    // sending side is shut first and what still arrives is read and dropped,
    // for a few seconds at most.
    void Linger() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(std::chrono::seconds(kLingerSeconds));
        Drain();
    }

    void Drain() {
        stream_.async_read_some(asio::buffer(drain_),
                                [self = shared_from_this()](beast::error_code ec, size_t) {
                                    if (ec) {
                                        self->Close();
                                    } else {
                                        self->Drain();
                                    }
                                });
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    char drain_[16384];
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
    const Handler& handle_;
};

void Accept(tcp::acceptor& acceptor, const Handler& handle) {
    acceptor.async_accept([&acceptor, &handle](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor.is_open()) return;
        if (!ec) std::make_shared<Connection>(std::move(socket), handle)->Read();
        Accept(acceptor, handle);
    });
}

}  // namespace

bool Serve(const ServeOptions& options, const Handler& handle,
           const std::function<void(unsigned short)>& listening, std::string* error, bool* busy) {
    *busy = false;
    asio::io_context io(1);
    // Installed before anything is written, so that the safe-write
    // mechanism leaves these two signals to the server (fileio/AtomicFile.h).
    asio::signal_set signals(io, SIGINT, SIGTERM);
    beast::error_code ec;
    const asio::ip::address address = asio::ip::make_address(options.address, ec);
    if (ec) {
        *error = Tr("not an IP address: {1}", {options.address});
        return false;
    }
    tcp::acceptor acceptor(io);
    const tcp::endpoint endpoint(address, options.port);
    acceptor.open(endpoint.protocol(), ec);
#ifndef _WIN32
    // A port left in TIME_WAIT by an earlier run may be taken again; on
    // Windows this option would let two servers share a port.
    if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
#endif
    if (!ec) acceptor.bind(endpoint, ec);
    if (ec == asio::error::address_in_use || ec == asio::error::access_denied) {
        *busy = ec == asio::error::address_in_use;
        const std::string port = std::to_string(options.port);
        *error =
            *busy ? Tr("cannot listen on {1} port {2}: the port is busy (choose another "
                       "with --port)",
                       {options.address, port})
                  : Tr("cannot listen on {1} port {2}: {3}", {options.address, port, ec.message()});
        return false;
    }
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        *error = Tr("cannot listen on {1}: {2}", {options.address, ec.message()});
        return false;
    }
    signals.async_wait([&acceptor, &io](beast::error_code, int) {
        beast::error_code ignored;
        acceptor.close(ignored);
        io.stop();
    });
    listening(acceptor.local_endpoint().port());
    Accept(acceptor, handle);
    io.run();
    return true;
}

}  // namespace vkcdict::edit
