#pragma once

// A loopback HTTP server for tests, over cpp-httplib.

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linkvane::test {

/// One request as the server saw it.
struct TRecordedRequest {
    std::string Method;
    std::string Path; ///< with the query ("/x?a=1")
    httplib::Headers Headers;
    std::string Body;
    std::string Header(const std::string& Name) const;
};

/// An HTTP server on 127.0.0.1 with a free port. Add routes (through
/// Server() or the shortcuts), then Start(); it serves in a background
/// thread until Stop() or destruction. Every request is recorded.
///
///     TestHttpServer server;
///     server.Page("/a", "<a href='/b'>b</a>");
///     server.Start();
///     browser.Navigate(QString::fromStdString(server.Url("/a")));
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    /// The underlying server, for routes of any kind.
    httplib::Server& Server() { return m_server; }

    /// Serves Body at Path (GET) with the given content type.
    void Page(const std::string& Path, const std::string& Body,
              const std::string& ContentType = "text/html; charset=utf-8");
    /// Answers Path with a redirect (status 301, 302, 303, 307 or 308) to Location.
    void Redirect(const std::string& Path, const std::string& Location, int Status = 302);
    /// Sends the head of a page at Path and then holds the connection open
    /// until the client goes away or the server stops: a page that never
    /// finishes loading.
    void NeverEnding(const std::string& Path, const std::string& FirstChunk);

    /// Lets the server gzip text responses for clients that accept it (off
    /// by default, so bodies arrive as the handlers wrote them and streamed
    /// chunks are not held back by the compressor).
    void SetCompression(bool On) { m_compression = On; }

    /// Binds to a free port on 127.0.0.1 and starts serving; returns when
    /// the server accepts connections.
    void Start();
    /// Stops serving (handlers holding connections see Stopping()).
    void Stop();
    bool Stopping() const { return m_stopping; }

    int Port() const { return m_port; }
    /// "http://127.0.0.1:<port>" + Path.
    std::string Url(const std::string& Path = "/") const;

    std::vector<TRecordedRequest> Requests() const;
    /// The last request whose path (without query) is Path; empty Method when none.
    TRecordedRequest LastRequest(const std::string& Path) const;
    void ClearRequests();

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_compression{false};
    mutable std::mutex m_mutex;
    std::vector<TRecordedRequest> m_requests;
};

} // namespace linkvane::test
