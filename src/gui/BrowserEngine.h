#pragma once

namespace linkvane {

/// Prepares the process for Qt WebEngine; call before the application object
/// is made. Switches the Chromium sandbox off when running as root (Chromium
/// refuses to start otherwise), shares OpenGL contexts as WebEngine needs,
/// and keeps Chromium from reaching out on its own (background networking,
/// component updates). Headless: no window will be shown, so the page is
/// drawn off screen (unless QT_QPA_PLATFORM says otherwise) without GPU.
void PrepareBrowserEngine(bool Headless);

/// Switches the Chromium sandbox off when running as root; a no-op
/// otherwise, and when the environment already says.
void SwitchOffSandboxForRoot();

/// Registers the "browser" engine with CreateWebBrowser. Creating one needs
/// a QGuiApplication (or QApplication); otherwise it raises an error.
void RegisterBrowserEngine();

} // namespace linkvane
