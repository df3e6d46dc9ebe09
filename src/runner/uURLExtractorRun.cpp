// The run half of the runner: the list run, one entry with its next pages,
// and the extraction of one page.
#include "runner/uURLExtractor.h"

#include "browser/TWebBrowser.h"
#include "browser/WebTools.h"
#include "query/LinkElement.h"
#include "query/uCoreDataExtractor.h"
#include "runner/EntryList.h"
#include "runner/OutputFiles.h"
#include "support/Exception.h"
#include "support/FastStringUtils.h"
#include "support/KeywordList.h"
#include "support/Mask.h"
#include "support/PathTools.h"
#include "support/TextTrim.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QThread>
#include <unordered_set>

namespace linkvane {
namespace {

/// Characters (code points) of a UTF-8 text.
int64_t CharLength(const std::string& s) {
    int64_t n = 0;
    for (const char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

QStringList KeywordList(const std::string& text) {
    QStringList list;
    for (const auto& item : KeywordTextToList(text)) {
        list.append(QString::fromStdString(item));
    }
    return list;
}

QString Wide(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TWebBrowser* TURLExtractor::WebBrowser() const {
    return m_Engine->MainWB();
}

void TURLExtractor::SetWebBrowser(TWebBrowser* Browser) {
    if (m_Engine->MainWB() != Browser) {
        m_Engine->SetMainWB(Browser);
    }
}

int TURLExtractor::Execute() {
    const uint8_t inputType = m_params.InputParam.InputType;
    if (inputType == 0 || inputType == 2) {
        return ExecuteList(nullptr);
    }
    return ExecuteLinkTable();
}

void TURLExtractor::PrepareRun() {
    const std::string& pattern = m_params.ExtractParam.LinkURL_Pattern;
    m_LinkURLMask = std::make_unique<TMask>(pattern.empty() ? std::string("*") : pattern);
    m_URLIncludeList = KeywordList(m_params.ExtractParam.LinkURL_Keywords_Include);
    m_URLExcludeList = KeywordList(m_params.ExtractParam.LinkURL_Keywords_Exclude);
    m_TextIncludeList = KeywordList(m_params.ExtractParam.LinkText_Keywords_Include);
    m_TextExcludeList = KeywordList(m_params.ExtractParam.LinkText_Keywords_Exclude);
    m_URLFileName = ChangeFileExt(m_OutputFileName, "_URL.txt");
    // A run that writes text files needs a file to write to; without this the
    // first page would fail to open it after the run had already started.
    if (m_params.OutputParam.OutputType == 0 && m_OutputFileName.empty()) {
        throw Exception("Output file name is empty");
    }
    const uint8_t inputType = m_params.InputParam.InputType;
    if ((inputType == 0 || inputType == 2) && !m_OutputFileName.empty()) {
        CreateFileIfMissing(m_OutputFileName);
    }
}

void TURLExtractor::LoadEntryList(QStringList& List, const std::string& FileName) const {
    List = ReadEntryListFile(ExpandTaskPath(FileName), m_params.InputParam.URLMidIsUnicode);
}

int TURLExtractor::ExecuteList(const QStringList* List) {
    PrepareRun();
    if (List && !List->isEmpty()) {
        m_EntryList = *List;
    }
    if (m_EntryList.isEmpty()) {
        LoadEntryList(m_EntryList, m_params.InputParam.URLMidListFileName);
    }
    const int count = static_cast<int>(m_EntryList.size());
    int total = 0;
    m_RunState = TRunState::Running;
    const QString prefix = Wide(m_params.InputParam.URLPrefix);
    const QString suffix = Wide(m_params.InputParam.URLSuffix);
    for (int i = 1; i <= count; ++i) {
        if (ShouldStop()) {
            break;
        }
        const QString entry = prefix + m_EntryList.at(i - 1) + suffix;
        total += ExecuteOneEntry(entry, i, count, 0, 0);
    }
    m_RunState = TRunState::Stopped;
    m_EntryList.clear();
    // An open output table holds a read snapshot (a transaction on a
    // server), which would keep others from changing the table while the
    // program sits idle.
    m_OutputQuery.Close();
    return total;
}

std::string TURLExtractor::PageFingerprint() const {
    TWebBrowser* browser = WebBrowser();
    if (!browser) {
        return {};
    }
    browser->RefreshDocument();
    const TNode doc = browser->Document();
    std::string content;
    if (VarHasValue(doc)) {
        const TNode root = doc.DocumentElement();
        content = VarHasValue(root) ? root.OuterHTML() : std::string();
    }
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(content), QCryptographicHash::Sha1);
    return browser->LocationURL().toStdString() + "\n" + hash.toHex().toStdString();
}

int TURLExtractor::ExecuteOneEntry(const QString& EntryURL, int URLNo, int URLCount, int PageLevel,
                                   int ParentID) {
    int result = 0;
    if (OnBeforeExectuteOneEntry) {
        OnBeforeExectuteOneEntry(this, EntryURL, URLNo, URLCount);
    }
    TWebBrowser* browser = WebBrowser();
    if (!browser) {
        throw Exception("No browser to run the task in");
    }
    if (EntryURL != QStringLiteral(".")) {
        const uint8_t inputType = m_params.InputParam.InputType;
        if (inputType == 2 || inputType == 3 || inputType > 3) {
            NavigateWithPost(*browser, m_params.InputParam.PostTargetURL, EntryURL.toStdString());
        } else {
            browser->Navigate(EntryURL);
        }
    }
    if (WaitPageReady(*browser, -1, -1)) {
        const int n = ExtractPage(PageLevel, ParentID);
        result = n;
        if (OnExtractedOnePage) {
            OnExtractedOnePage(this, EntryURL, URLNo, URLCount, 0, n);
        }
    }
    const std::string& nextPath = m_params.ExtractParam.NextPageNodePath;
    if (!TrimText(nextPath).empty()) {
        int nextPageNo = 0;
        // The page shown before a click: at first the entry's page, then the
        // page each click reached, as it was loaded.
        std::string shown = PageFingerprint();
        while (true) {
            if (ShouldStop()) {
                break;
            }
            if (m_Engine->ClickNode(nextPath, nullptr) <= 0) {
                break;
            }
            // A "next" link that leads back to the same page would otherwise
            // store the same links again and again.
            std::string reached = PageFingerprint();
            if (reached == shown) {
                break;
            }
            shown = std::move(reached);
            const int n = ExtractPage(0, 0);
            result += n;
            ++nextPageNo;
            if (OnExtractedOnePage) {
                OnExtractedOnePage(this, EntryURL, URLNo, URLCount, nextPageNo, n);
            }
        }
    }
    if (OnAfterExectuteOneEntry) {
        OnAfterExectuteOneEntry(this, EntryURL, URLNo, URLCount);
    }
    return result;
}

bool TURLExtractor::ShouldStop() {
    QCoreApplication::processEvents();
    switch (m_RunState) {
    case TRunState::Stopped:
        return true;
    case TRunState::Running:
        return false;
    case TRunState::Paused:
        break;
    }
    while (m_RunState == TRunState::Paused) {
        WaitClock().Pump();
        WaitClock().Sleep(100);
    }
    return m_RunState == TRunState::Stopped;
}

void TURLExtractor::Pause() {
    if (m_RunState == TRunState::Running) {
        m_RunState = TRunState::Paused;
    }
}

void TURLExtractor::Continue() {
    if (m_RunState == TRunState::Paused) {
        m_RunState = TRunState::Running;
    }
}

void TURLExtractor::Stop() {
    m_RunState = TRunState::Stopped;
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

bool TURLExtractor::MatchesLinkURLMask(const std::string& URL) const {
    return !m_LinkURLMask || m_LinkURLMask->Matches(URL);
}

bool TURLExtractor::ContainsAnyKeyword(const QString& Text, const QStringList& List) {
    if (List.isEmpty()) {
        return true;
    }
    for (const QString& keyword : List) {
        if (!keyword.isEmpty() && Text.contains(keyword, Qt::CaseSensitive)) {
            return true;
        }
    }
    return false;
}

QString TURLExtractor::GetCurrentURL() const {
    TWebBrowser* browser = WebBrowser();
    return browser ? browser->LocationURL() : QString();
}

void TURLExtractor::WriteLinkLine(TOutputTextFile& File, const std::string& LinkURL,
                                  const std::string& LinkText, const std::string& ExtraData) {
    const int layout = m_params.OutputParam.LayoutType;
    if (layout == 4) {
        AppendLineToFile(m_URLFileName, OneLine(LinkURL));
    }
    const std::string source = layout == 5 ? GetCurrentURL().toStdString() : std::string();
    File.WriteLine(BuildLinkLine(layout, LinkURL, LinkText, ExtraData, source));
}

int TURLExtractor::ExtractPage(int PageLevel, int ParentID) {
    int count = 0;
    std::unordered_set<std::string> seenURLs;
    const bool toTextFile = m_params.OutputParam.OutputType == 0;
    TOutputTextFile file;
    if (toTextFile) {
        file.OpenForAppend(m_OutputFileName);
    } else if (!m_OutputQuery.Active()) {
        // Like a result file that cannot be opened, a link table that cannot
        // be opened ends the run instead of dropping every link of the page.
        m_OutputQuery.Open();
    }
    const TURLExtractParam& ex = m_params.ExtractParam;
    std::vector<int32_t> positions;
    const TNode collection = m_Engine->GetNodeCollection(ex.LinkCollectionNodePath, positions);
    for (const int32_t position : positions) {
        try {
            TNode element = collection.Item(position);
            std::string extraText;
            TNode extraElement;
            if (!ex.ExtraDataRelativeNodePath.empty()) {
                extraElement = m_Engine->GetRelativeNode(element, ex.ExtraDataRelativeNodePath);
            }
            if (!ex.LinkRelativeNodePath.empty()) {
                element = m_Engine->GetRelativeNode(element, ex.LinkRelativeNodePath);
            }
            if (extraElement.IsTreeNode()) {
                extraText = TrimText(extraElement.InnerText());
            }
            if (!VarHasValue(element)) {
                continue;
            }
            std::string url;
            std::string text;
            ReadLinkElement(element, url, text);

            if (url.empty()) {
                continue;
            }
            const int64_t textLength = CharLength(text);
            if (textLength < ex.LinkText_Length_Min || textLength > ex.LinkText_Length_Max) {
                continue;
            }
            if (!MatchesLinkURLMask(url)) {
                continue;
            }
            QString linkURL = Wide(url);
            QString linkText = Wide(text);
            if (!m_URLIncludeList.isEmpty() && !ContainsAnyKeyword(linkURL, m_URLIncludeList)) {
                continue;
            }
            if (!m_URLExcludeList.isEmpty() && ContainsAnyKeyword(linkURL, m_URLExcludeList)) {
                continue;
            }
            if (!m_TextIncludeList.isEmpty() && !ContainsAnyKeyword(linkText, m_TextIncludeList)) {
                continue;
            }
            if (!m_TextExcludeList.isEmpty() && ContainsAnyKeyword(linkText, m_TextExcludeList)) {
                continue;
            }
            if (OnCheckLinkValid) {
                bool isValid = true;
                OnCheckLinkValid(this, linkURL, linkText, isValid);
                if (!isValid) {
                    continue;
                }
                url = linkURL.toStdString();
                text = linkText.toStdString();
            }
            if (!m_params.OutputParam.URLDataPattern.empty()) {
                url = TextByStarPattern(url, m_params.OutputParam.URLDataPattern, false);
            }
            if (!seenURLs.insert(Wide(url).toLower().toStdString()).second) {
                continue;
            }
            if (toTextFile) {
                WriteLinkLine(file, url, text, extraText);
                ++count;
            } else if (AddLinkToTable(Wide(url), Wide(text), Wide(extraText), PageLevel,
                                      ParentID)) {
                ++count;
            }
        } catch (const std::exception&) {
            // An error while one link is handled costs only that link.
        }
    }
    if (toTextFile) {
        file.Close();
    } else if (m_OutputQuery.Active()) {
        // The page's rows are stored together, with one disk sync.
        m_OutputQuery.Commit();
    }
    return count;
}

} // namespace linkvane
