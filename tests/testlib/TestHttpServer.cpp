#include "testlib/TestHttpServer.h"

#include <chrono>
#include <stdexcept>

namespace linkvane::test {

std::string TRecordedRequest::Header(const std::string& Name) const {
    auto it = Headers.find(Name);
    return it == Headers.end() ? std::string() : it->second;
}

TestHttpServer::TestHttpServer() {
    // The server compresses whenever the client accepts it; hiding the
    // client's Accept-Encoding is the only switch it has.
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        if (!m_compression)
            const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server.set_logger([this](const httplib::Request& req, const httplib::Response&) {
        TRecordedRequest r;
        r.Method = req.method;
        r.Path = req.target;
        r.Headers = req.headers;
        r.Body = req.body;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(std::move(r));
    });
}

TestHttpServer::~TestHttpServer() {
    Stop();
}

void TestHttpServer::Page(const std::string& Path, const std::string& Body,
                          const std::string& ContentType) {
    m_server.Get(Path, [Body, ContentType](const httplib::Request&, httplib::Response& res) {
        res.set_content(Body, ContentType.c_str());
    });
}

void TestHttpServer::Redirect(const std::string& Path, const std::string& Location, int Status) {
    auto handler = [Location, Status](const httplib::Request&, httplib::Response& res) {
        res.status = Status;
        res.set_header("Location", Location);
    };
    m_server.Get(Path, handler);
    m_server.Post(Path, handler);
}

void TestHttpServer::NeverEnding(const std::string& Path, const std::string& FirstChunk) {
    m_server.Get(Path, [this, FirstChunk](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "text/html; charset=utf-8", [this, FirstChunk](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write(FirstChunk.data(), FirstChunk.size());
                    return true;
                }
                while (!m_stopping && sink.is_writable())
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return false;
            });
    });
}

void TestHttpServer::Start() {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("The test HTTP server cannot bind to 127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    for (int i = 0; i < 500 && !m_server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void TestHttpServer::Stop() {
    m_stopping = true;
    if (m_thread.joinable()) {
        m_server.stop();
        m_thread.join();
    }
}

std::string TestHttpServer::Url(const std::string& Path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + Path;
}

std::vector<TRecordedRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

TRecordedRequest TestHttpServer::LastRequest(const std::string& Path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_requests.rbegin(); it != m_requests.rend(); ++it)
        if (it->Path.substr(0, it->Path.find('?')) == Path)
            return *it;
    return {};
}

void TestHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

} // namespace linkvane::test
