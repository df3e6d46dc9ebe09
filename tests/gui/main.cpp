// The GUI tests need a QApplication, and Qt WebEngine needs its environment
// before that: off screen, no sandbox, and no Chromium traffic beyond the
// loopback server of the tests.
#include "gui/BrowserEngine.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            "--disable-gpu --no-sandbox --disable-background-networking "
            "--disable-component-update --disable-sync --no-first-run "
            "--disable-features=AutofillServerCommunication,MediaRouter");
    linkvane::PrepareBrowserEngine(true);
    QApplication app(argc, argv);
    linkvane::RegisterBrowserEngine();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
