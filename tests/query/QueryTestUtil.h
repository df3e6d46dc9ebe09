#pragma once

// Helpers of the query engine tests: loading pages into the static engine and
// describing answers as short texts.

#include "browser/TStaticWebBrowser.h"
#include "browser/WebTools.h"
#include "query/uCoreDataExtractor.h"

#include <string>
#include <vector>

namespace linkvane::test {

/// The folder of the query fixtures.
std::string QueryFixture(const std::string& Name);

/// Loads a local file (or any URL) and pumps until the browser is idle.
void LoadUrl(TWebBrowser& Browser, const std::string& Url);
void LoadFile(TWebBrowser& Browser, const std::string& FileName);
/// Shows Html as the page at Url and pumps until idle.
void LoadHtml(TStaticWebBrowser& Browser, const std::string& Html,
              const std::string& Url = "http://example.com/page.html");
/// Pumps until the browser is idle (at most ten seconds).
void WaitIdle(TWebBrowser& Browser);

/// The element of Document (or of any node's document) with the id.
TNode ById(const TNode& Document, const std::string& Id);

/// A node as a short text: "-" for nothing, the id of an element (its tag
/// when it has none), 'text' for a text node (trimmed), "#document" plus the
/// file name of its address, "num:N", and "[a b c]" for a collection.
std::string Describe(const TNode& Node);
/// The answered positions with their items: "0=a1 3=a4".
std::string DescribePositions(const TNode& Collection, const std::vector<int32_t>& Positions);

/// Time for the page waits that passes without sleeping: every sleep
/// advances the clock at once (after a real pump), so a wait of one second
/// takes a few milliseconds while loads still progress.
class TFastClock : public TWaitClock {
public:
    TFastClock() { m_previous = SetWaitClock(this); }
    ~TFastClock() override { SetWaitClock(m_previous); }
    void Sleep(int32_t Milliseconds) override;
    int64_t MonotonicMs() override { return m_now; }

private:
    TWaitClock* m_previous = nullptr;
    int64_t m_now = 1000000;
};

} // namespace linkvane::test
