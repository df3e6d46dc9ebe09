#include "gui/frmBrowserOptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace linkvane {

TBrowserOptions_Frm::TBrowserOptions_Frm(QWebEnginePage* Page, QWidget* Parent)
    : QDialog(Parent), m_page(Page) {
    setWindowTitle(QStringLiteral("Internet Options"));
    JavaScript_Chk = new QCheckBox(QStringLiteral("Run &JavaScript"), this);
    Images_Chk = new QCheckBox(QStringLiteral("Show &images"), this);
    UserAgent_Edt = new QLineEdit(this);
    UserAgent_Edt->setMinimumWidth(420);
    ClearCookies_Btn = new QPushButton(QStringLiteral("&Clear cookies and cache"), this);

    QWebEngineSettings* settings = m_page->settings();
    JavaScript_Chk->setChecked(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
    Images_Chk->setChecked(settings->testAttribute(QWebEngineSettings::AutoLoadImages));
    UserAgent_Edt->setText(m_page->profile()->httpUserAgent());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OK_Btn = buttons->button(QDialogButtonBox::Ok);
    Cancel_Btn = buttons->button(QDialogButtonBox::Cancel);

    auto* form = new QFormLayout;
    form->addRow(JavaScript_Chk);
    form->addRow(Images_Chk);
    form->addRow(QStringLiteral("&User agent:"), UserAgent_Edt);
    form->addRow(ClearCookies_Btn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &TBrowserOptions_Frm::OK_BtnClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ClearCookies_Btn, &QPushButton::clicked, this,
            &TBrowserOptions_Frm::ClearCookies_BtnClick);
}

void TBrowserOptions_Frm::OK_BtnClick() {
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, JavaScript_Chk->isChecked());
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, Images_Chk->isChecked());
    // An empty text brings back the engine's own user agent.
    m_page->profile()->setHttpUserAgent(UserAgent_Edt->text().trimmed());
    accept();
}

void TBrowserOptions_Frm::ClearCookies_BtnClick() {
    QWebEngineProfile* profile = m_page->profile();
    profile->cookieStore()->deleteAllCookies();
    profile->clearHttpCache();
    ClearCookies_Btn->setEnabled(false);
    ClearCookies_Btn->setText(QStringLiteral("Cookies and cache cleared"));
}

} // namespace linkvane
