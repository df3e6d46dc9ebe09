#include "gui/BrowserEngine.h"

#include "gui/TWebEngineBrowser.h"
#include "support/Exception.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <unistd.h>

namespace linkvane {
namespace {

/// Adds each flag to QTWEBENGINE_CHROMIUM_FLAGS unless it is there already.
void AddChromiumFlags(const QByteArrayList& Flags) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArrayList present = flags.split(' ');
    for (const QByteArray& flag : Flags) {
        if (present.contains(flag))
            continue;
        if (!flags.isEmpty())
            flags += ' ';
        flags += flag;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

QtMessageHandler g_previousHandler = nullptr;

/// Drops the notes Qt WebEngine and Qt print when the engine starts off
/// screen; they would only clutter the output of a command-line run.
void QuietStartUpHandler(QtMsgType Type, const QMessageLogContext& Context,
                         const QString& Message) {
    static const char* const startUpNotes[] = {"Sandboxing disabled by user.",
                                               "No suitable graphics backend found",
                                               "QStandardPaths: XDG_RUNTIME_DIR not set"};
    for (const char* note : startUpNotes)
        if (Message.startsWith(QLatin1String(note)))
            return;
    g_previousHandler(Type, Context, Message);
}

} // namespace

void SwitchOffSandboxForRoot() {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void PrepareBrowserEngine(bool Headless) {
    SwitchOffSandboxForRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QByteArrayList flags{"--disable-background-networking", "--disable-component-update"};
    if (Headless) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        flags << "--disable-gpu";
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
        if (!g_previousHandler)
            g_previousHandler = qInstallMessageHandler(QuietStartUpHandler);
    }
    AddChromiumFlags(flags);
}

void RegisterBrowserEngine() {
    RegisterWebBrowserEngine(QStringLiteral("browser"), []() -> std::unique_ptr<TWebBrowser> {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            throw Exception("The browser engine needs a graphical application object");
        return std::make_unique<TWebEngineBrowser>();
    });
}

} // namespace linkvane
