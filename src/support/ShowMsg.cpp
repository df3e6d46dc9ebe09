#include "support/ShowMsg.h"

#include <iostream>
#include <mutex>

namespace linkvane {
namespace {

std::mutex g_mutex;
std::shared_ptr<TMessageHandler> g_handler;
std::string g_title = "Linkvane";

} // namespace

TStderrMessageHandler::TStderrMessageHandler() : m_stream(&std::cerr) {}

TMsgResult TStderrMessageHandler::MessageBox(const std::string& Text, const std::string& Caption,
                                             TMsgButtons Buttons, TMsgIcon) {
    *m_stream << Caption << ": " << Text << std::endl;
    switch (Buttons) {
    case TMsgButtons::OK:
        return TMsgResult::OK;
    case TMsgButtons::OKCancel:
        return TMsgResult::Cancel;
    case TMsgButtons::YesNo:
        return TMsgResult::No;
    case TMsgButtons::AbortRetryIgnore:
        return TMsgResult::Abort;
    }
    return TMsgResult::Cancel;
}

bool TStderrMessageHandler::MessageDlg(const std::string& Caption, const std::string& Message, int,
                                       int, const std::string&) {
    *m_stream << Caption << ": " << Message << std::endl;
    return true;
}

std::shared_ptr<TMessageHandler> SetMessageHandler(std::shared_ptr<TMessageHandler> handler) {
    std::lock_guard lock(g_mutex);
    auto previous = g_handler;
    g_handler = std::move(handler);
    return previous;
}

std::shared_ptr<TMessageHandler> MessageHandler() {
    std::lock_guard lock(g_mutex);
    if (!g_handler) {
        g_handler = std::make_shared<TStderrMessageHandler>();
    }
    return g_handler;
}

std::string ApplicationTitle() {
    std::lock_guard lock(g_mutex);
    return g_title;
}

void SetApplicationTitle(const std::string& title) {
    std::lock_guard lock(g_mutex);
    g_title = title;
}

TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgButtons Buttons,
                          TMsgIcon Icon) {
    return MessageHandler()->MessageBox(Text, Caption.empty() ? ApplicationTitle() : Caption,
                                        Buttons, Icon);
}

void ShowInfo(const std::string& Text, const std::string& Caption) {
    ShowMessageBox(Text, Caption, TMsgButtons::OK, TMsgIcon::Information);
}

void ShowWarning(const std::string& Text, const std::string& Caption) {
    ShowMessageBox(Text, Caption, TMsgButtons::OK, TMsgIcon::Warning);
}

bool AskConfirm(const std::string& Text, bool YesNo, const std::string& Caption) {
    if (YesNo) {
        return ShowMessageBox(Text, Caption, TMsgButtons::YesNo, TMsgIcon::Question) ==
               TMsgResult::Yes;
    }
    return ShowMessageBox(Text, Caption, TMsgButtons::OKCancel, TMsgIcon::Warning) ==
           TMsgResult::OK;
}

bool ShowMessageDlg(const std::string& Caption, const std::string& Message, int FontSize, int Width,
                    const std::string& OKCaption) {
    return MessageHandler()->MessageDlg(Caption, Message, FontSize, Width, OKCaption);
}

} // namespace linkvane
