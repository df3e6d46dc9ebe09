#pragma once

#include "browser/Dom.h"

#include <cstdint>
#include <string>

namespace linkvane {

class TWebBrowser;

/// Time and event pumping as the waits see them. Tests install their own to
/// count polls without sleeping.
class TWaitClock {
public:
    virtual ~TWaitClock() = default;
    /// Processes every pending event of this thread, then returns.
    virtual void Pump();
    virtual void Sleep(int32_t Milliseconds);
    /// Milliseconds of a monotonic clock.
    virtual int64_t MonotonicMs();
};

/// Installs Clock for the waits (nullptr restores the real one); answers the
/// previous one. The caller keeps ownership.
TWaitClock* SetWaitClock(TWaitClock* Clock);
TWaitClock& WaitClock();

/// Waits until the browser's page is ready: after the minimum wait, polls
/// every 20 ms; a complete page is accepted after more than MinRepeatTimes
/// polls; from the 101st poll on, an idle browser whose page still reads as
/// loading answers false, and a time-out of MaxWaitSeconds stops loading and
/// answers true. -1 for a wait takes the page-waiting setting.
bool WaitPageReady(TWebBrowser& Browser, int32_t MinWaitSeconds = -1, int32_t MaxWaitSeconds = -1);
/// Pumps events for Amount milliseconds (or seconds).
void WaitWithMessages(int32_t Amount, bool InMilliseconds);
/// Count times: pump, sleep 2 ms.
void SpinMessages(int32_t Count);
/// Pumps until the monotonic clock's whole second has changed Seconds times
/// (so the wait lasts between Seconds - 1 and Seconds seconds).
void WaitWholeSeconds(uint16_t Seconds);

/// Posts PostData (form text, sent byte for byte) to URL; a query in URL goes
/// in front of the data. An empty URL or empty data navigates plainly.
void NavigateWithPost(TWebBrowser& Browser, const std::string& URL, const std::string& PostData,
                      const std::string& Referer = "", const std::string& TargetFrame = "",
                      int32_t Flags = 0, bool NewWindow = false);
/// Runs a browser command when the browser shows a document; errors are swallowed.
void ExecBrowserCommand(TWebBrowser& Browser, uint16_t CommandId);
/// The browser's Internet Options dialog (nothing in an engine without one).
void ShowInternetOptions(TWebBrowser& Browser);

/// Element := the element of Document whose SourceIndex is Node's; false
/// when Node has no value or no such element exists.
bool ElementFromNode(TNode& Element, const TNode& Document, const TNode& Node);
/// Ancestor := the nearest ancestor of Element (not Element itself) whose
/// upper-case tag equals TagName, or the parent when TagName is empty. BODY
/// and anything above it are never answered: false then.
bool FindAncestorByTag(TNode& Ancestor, const TNode& Element, const std::string& TagName);
/// The number of nodes from Node upwards, before Ancestor, whose NodeName
/// equals Node's (Node counts, Ancestor does not).
int32_t SameTagDepth(const TNode& Node, const TNode& Ancestor);
/// The Value of the first PARAM whose parent's SourceIndex is
/// ObjectSourceIndex and whose Name equals ParamName ignoring case.
std::string GetObjectParam(const TNode& Document, int32_t ObjectSourceIndex,
                           const std::string& ParamName);
/// The OBJECT's MOVIE parameter, or its SRC parameter when MOVIE is blank.
std::string GetObjectMovieURL(const TNode& Document, int32_t ObjectSourceIndex);
/// FrameDocument := the document of Document's frame FrameIndex; nothing
/// when there is no such frame or it cannot be read.
void GetFrameDocument(const TNode& Document, int32_t FrameIndex, TNode& FrameDocument);

} // namespace linkvane
