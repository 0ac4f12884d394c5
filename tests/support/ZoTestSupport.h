// Helpers shared by the utility layer's tests: reading error documents entry by entry,
// error objects, the system's message texts and the lines the logger receives.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "ComBSTR.h"
#include "ComPtr.h"
#include "OleString.h"
#include "ZoException.h"
#include "ZoLogging.h"
#include "ZoNode.h"

// One errorentry: its five standard children (empty when missing) and any other children.
struct EntryView {
    OleString description;
    OleString code;
    OleString file;
    OleString line;
    OleString function;
    std::vector<std::pair<OleString, OleString>> details;
};

// The value of the entry's detail NAME, or "<none>".
inline OleString DetailOf(const EntryView& entry, const OLECHAR* name)
{
    for (const auto& [detailName, value] : entry.details) {
        if (detailName == name)
            return value;
    }
    return OLESTR("<none>");
}

inline std::vector<EntryView> EntriesOf(const CZoNode& root)
{
    std::vector<EntryView> entries;
    for (const CZoNode* entry : root.ChildrenByName(OLESTR("errorentry"))) {
        EntryView view;
        for (const CZoNode* child : entry->Children()) {
            const OleString& name = child->Name();
            if (name == OLESTR("description"))
                view.description = child->Value();
            else if (name == OLESTR("errorcode"))
                view.code = child->Value();
            else if (name == OLESTR("sourcefile"))
                view.file = child->Value();
            else if (name == OLESTR("sourceline"))
                view.line = child->Value();
            else if (name == OLESTR("sourcefunction"))
                view.function = child->Value();
            else
                view.details.emplace_back(name, child->Value());
        }
        entries.push_back(std::move(view));
    }
    return entries;
}

inline std::vector<EntryView> EntriesOfXml(const OleString& xml)
{
    CZoNode root;
    root.Load(xml.c_str());
    return EntriesOf(root);
}

inline OleString Decimal(long long value)
{
    const std::string text = std::to_string(value);
    return OleString(text.begin(), text.end());
}

// An error object made by the platform, as a foreign component would make it.
inline CComPtr<IErrorInfo> MakeErrorInfo(const OLECHAR* description, const OLECHAR* helpFile = nullptr)
{
    CComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(&creator)))
        return {};
    if (description)
        creator->SetDescription(const_cast<LPOLESTR>(description));
    if (helpFile)
        creator->SetHelpFile(const_cast<LPOLESTR>(helpFile));
    CComPtr<IErrorInfo> errorInfo;
    creator.QueryInterface(&errorInfo);
    return errorInfo;
}

inline CComError ComErrorWith(HRESULT hr, const CComPtr<IErrorInfo>& errorInfo)
{
    if (errorInfo)
        errorInfo->AddRef();
    return CComError(hr, errorInfo.p);
}

// The thread's error object, taken (and so cleared) as a client takes it.
struct ErrorObjectFields {
    bool present = false;
    GUID guid = GUID_NULL;
    OleString source;
    OleString description;
    OleString helpFile;
    DWORD helpContext = 0;
};

inline ErrorObjectFields TakeThreadErrorObject()
{
    ErrorObjectFields fields;
    CComPtr<IErrorInfo> errorInfo;
    if (GetErrorInfo(0, &errorInfo) != S_OK || !errorInfo)
        return fields;
    fields.present = true;
    errorInfo->GetGUID(&fields.guid);
    CComBSTR source, description, helpFile;
    errorInfo->GetSource(&source);
    errorInfo->GetDescription(&description);
    errorInfo->GetHelpFile(&helpFile);
    errorInfo->GetHelpContext(&fields.helpContext);
    fields.source = ViewOfBstr(source);
    fields.description = ViewOfBstr(description);
    fields.helpFile = ViewOfBstr(helpFile);
    return fields;
}

// The first entry (the raised one) of the error document the last call left; taken as above.
inline EntryView FirstErrorEntry()
{
    const std::vector<EntryView> entries = EntriesOfXml(TakeThreadErrorObject().description);
    return entries.empty() ? EntryView{} : entries.front();
}

// What FormatMessageW itself gives for a number from the system's table in the user
// default language; empty when it has none.
inline OleString RawSystemMessage(DWORD number)
{
    OLECHAR buffer[4096];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number,
                                        0x400, buffer, 4096, nullptr);
    return OleString(buffer, length);
}

inline OleString WithoutTrailingSpace(OleString text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

// Records what reaches the logger for as long as it lives.
class LogRecorder : public CZoLogTestObserver {
public:
    LogRecorder() { CZoLogging::Instance().SetTestObserver(this); }
    ~LogRecorder() { CZoLogging::Instance().SetTestObserver(nullptr); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    void OnLog(int level, const OleString& text, bool force) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_lines.push_back({level, text, force});
    }

    struct Line {
        int level;
        OleString text;
        bool force;
    };
    std::vector<Line> Lines()
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::vector<Line> m_lines;
};

// The entries of the CZoException that call raises; none when it raises nothing.
template <class Call>
std::vector<EntryView> RaisedEntries(Call&& call)
{
    try {
        call();
    } catch (const CZoException& exception) {
        return EntriesOf(exception.Document());
    }
    return {};
}
