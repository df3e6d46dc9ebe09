#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace linkvane {

enum class TMsgButtons { OK, OKCancel, YesNo, AbortRetryIgnore };
enum class TMsgIcon { None, Information, Warning, Question, Error };
enum class TMsgResult { OK, Cancel, Yes, No, Abort, Retry, Ignore };

/// Shows messages to the user. The command-line tool prints them; the main
/// window installs a handler that shows real message boxes.
class TMessageHandler {
public:
    virtual ~TMessageHandler() = default;
    /// A standard message box; Caption is never empty here.
    virtual TMsgResult MessageBox(const std::string& Text, const std::string& Caption,
                                  TMsgButtons Buttons, TMsgIcon Icon) = 0;
    /// The program's own message dialog with a larger, freely sized text.
    virtual bool MessageDlg(const std::string& Caption, const std::string& Message, int FontSize,
                            int Width, const std::string& OKCaption) = 0;
};

/// Installs the process-wide handler and returns the previous one. A null
/// handler restores the stderr handler.
std::shared_ptr<TMessageHandler> SetMessageHandler(std::shared_ptr<TMessageHandler> handler);

/// Prints each message to a stream (stderr unless given) as "Caption: Text";
/// questions answer no (Cancel, No, Abort), since nobody is there to answer them.
class TStderrMessageHandler final : public TMessageHandler {
public:
    TStderrMessageHandler();
    explicit TStderrMessageHandler(std::ostream& Stream) : m_stream(&Stream) {}
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgButtons Buttons,
                          TMsgIcon Icon) override;
    bool MessageDlg(const std::string& Caption, const std::string& Message, int FontSize, int Width,
                    const std::string& OKCaption) override;

private:
    std::ostream* m_stream;
};

/// Installs a handler for the life of the object and restores the previous one.
class TMessageHandlerScope {
public:
    explicit TMessageHandlerScope(std::shared_ptr<TMessageHandler> handler)
        : m_previous(SetMessageHandler(std::move(handler))) {}
    ~TMessageHandlerScope() { SetMessageHandler(m_previous); }
    TMessageHandlerScope(const TMessageHandlerScope&) = delete;
    TMessageHandlerScope& operator=(const TMessageHandlerScope&) = delete;

private:
    std::shared_ptr<TMessageHandler> m_previous;
};

std::shared_ptr<TMessageHandler> MessageHandler();

/// The application title, the caption of every box shown without one. It
/// follows the main window caption.
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& title);

/// A message box with the given caption, or the application title when empty.
TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgButtons Buttons,
                          TMsgIcon Icon);
void ShowInfo(const std::string& Text, const std::string& Caption = std::string());
void ShowWarning(const std::string& Text, const std::string& Caption = std::string());
/// With YesNo: Yes and No, true on Yes; without: OK and Cancel, true on OK.
bool AskConfirm(const std::string& Text, bool YesNo, const std::string& Caption = std::string());
bool ShowMessageDlg(const std::string& Caption, const std::string& Message, int FontSize = 0,
                    int Width = 0, const std::string& OKCaption = std::string());

} // namespace linkvane
