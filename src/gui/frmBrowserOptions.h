#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWebEnginePage;

namespace linkvane {

/// The browser engine's options: JavaScript and images on or off, the user
/// agent, and clearing cookies and cache. OK applies the settings to the page
/// (and the user agent to its profile); clearing happens at once.
class TBrowserOptions_Frm final : public QDialog {
    Q_OBJECT
public:
    TBrowserOptions_Frm(QWebEnginePage* Page, QWidget* Parent = nullptr);

    QCheckBox* JavaScript_Chk = nullptr;
    QCheckBox* Images_Chk = nullptr;
    QLineEdit* UserAgent_Edt = nullptr;
    QPushButton* ClearCookies_Btn = nullptr;
    QPushButton* OK_Btn = nullptr;
    QPushButton* Cancel_Btn = nullptr;

private:
    void OK_BtnClick();
    void ClearCookies_BtnClick();

    QWebEnginePage* m_page;
};

} // namespace linkvane
