#include "ZoException.h"

#include <algorithm>
#include <vector>

#include <oleauto.h>

#include "ComBSTR.h"
#include "ZoFormat.h"

namespace {

constexpr DWORD kUserDefaultLanguage = 0x400;  // MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)

const OLECHAR kEntry[] = OLESTR("errorentry");
const OLECHAR kDescription[] = OLESTR("description");
const OLECHAR kErrorCode[] = OLESTR("errorcode");
const OLECHAR kSourceFile[] = OLESTR("sourcefile");
const OLECHAR kSourceLine[] = OLESTR("sourceline");
const OLECHAR kSourceFunction[] = OLESTR("sourcefunction");
const OLECHAR kStackTraceCode[] = OLESTR("1005");

bool IsSpace(OLECHAR c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool TryFormatMessage(DWORD flags, LPCVOID source, DWORD number, DWORD languageId, OleString& text)
{
    OLECHAR buffer[4096];
    const DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_IGNORE_INSERTS, source, number, languageId, buffer,
                                        sizeof buffer / sizeof buffer[0], nullptr);
    if (length == 0 || length >= sizeof buffer / sizeof buffer[0])
        return false;
    text.assign(buffer, length);
    return true;
}

const CZoNode* FirstChildNamed(const CZoNode& node, OleStringView name)
{
    for (const CZoNode* child : node.Children())
        if (child->Name() == name)
            return child;
    return nullptr;
}

OleString ChildText(const CZoNode& node, OleStringView name, OleStringView fallback)
{
    const CZoNode* child = FirstChildNamed(node, name);
    return OleString(child ? OleStringView(child->Value()) : fallback);
}

bool IsFrameEntry(const CZoNode& entry)
{
    const CZoNode* code = FirstChildNamed(entry, kErrorCode);
    return code && code->Value() == kStackTraceCode;
}

// Removes what ends an element name when the document is read back, besides the spaces,
// "<" and "&" that a name never keeps.
OleString CleanedElementName(OleStringView name)
{
    OleString cleaned;
    for (OLECHAR c : name)
        if (OleStringView(OLESTR(" <&/>\t\r\n")).find(c) == OleStringView::npos)
            cleaned.push_back(c);
    return cleaned;
}

}  // namespace

HRESULT ZoHResultFromSystemError(LONG errorNumber)
{
    return errorNumber > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(errorNumber) & 0xFFFFu))
                           : static_cast<HRESULT>(errorNumber);
}

OleString ZoSystemMessageText(DWORD errorNumber, DWORD languageId)
{
    OleString text;
    bool found = TryFormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, errorNumber,
                                  languageId ? languageId : kUserDefaultLanguage, text) ||
                 TryFormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, errorNumber, kUserDefaultLanguage, text);
    if (!found) {
        // The HTTP client's codes (12001 and up) live in its own message table. Language 0
        // lets the system search its usual order of languages there.
        if (HMODULE http = GetModuleHandleW(OLESTR("winhttp.dll")))
            found = TryFormatMessage(FORMAT_MESSAGE_FROM_HMODULE, http, errorNumber, 0, text);
    }
    if (!found)
        return ZoFormat(OLESTR("Unable to format error message from error number %d"), static_cast<int>(errorNumber));
    while (!text.empty() && IsSpace(text.back()))
        text.pop_back();
    return text;
}

OleString ZoComErrorMessage(HRESULT hr)
{
    OleString text;
    if (TryFormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(hr), kUserDefaultLanguage, text)) {
        if (text.size() > 1 && text.back() == '\n') {
            text.pop_back();
            if (text.back() == '\r')
                text.pop_back();
        }
        return text;
    }
    const ULONG code = static_cast<ULONG>(hr);
    if (code >= 0x80040201u && code <= 0x8004FFFFu)
        return ZoFormat(OLESTR("IDispatch error #%d"), static_cast<int>(code - 0x80040200u));
    return ZoFormat(OLESTR("Unknown error 0x%0lX"), static_cast<ULONG>(hr));
}

// ---------------------------------------------------------------------------------------

CZoException::CZoException(OleStringView message, LONG code, OleStringView sourceFile, int sourceLine,
                           OleStringView sourceFunction)
    : m_root(OLESTR("error"))
{
    AddError(message, code, sourceFile, sourceLine, sourceFunction);
}

CZoException::CZoException(const CZoException& other) : m_root(OLESTR("error"))
{
    CopyEntriesFrom(other);
}

CZoException& CZoException::operator=(const CZoException& other)
{
    if (this != &other) {
        m_root.Clear();
        m_root.SetName(OLESTR("error"));
        m_root.SetValue({});
        CopyEntriesFrom(other);
    }
    return *this;
}

CZoException::CZoException(const CComError& error) : m_root(OLESTR("error"))
{
    const HRESULT hr = error.Error();
    IErrorInfo* errorInfo = error.ErrorInfo();
    OleString description;
    if (errorInfo) {
        CComBSTR text;
        if (SUCCEEDED(errorInfo->GetDescription(&text)))
            description = ViewOfBstr(text);
    }
    if (hr == E_ZO_EXCEPTION && errorInfo && ParseErrorDocument(description.c_str(), m_root)) {
        DropLayoutWhiteSpace(m_root);
        return;
    }
    m_root.Clear();
    m_root.SetName(OLESTR("error"));
    m_root.SetValue({});
    AddComErrorEntry(hr, errorInfo, description);
}

CZoException::~CZoException() = default;

void CZoException::CopyEntriesFrom(const CZoException& other)
{
    for (const CZoNode* entry : other.m_root.ChildrenByName(kEntry))
        m_root.AppendCopy(*entry);
}

void CZoException::AddComErrorEntry(HRESULT hr, IErrorInfo* errorInfo, const OleString& description)
{
    OleString message = description.empty() ? ZoComErrorMessage(hr) : description;
    if (message.empty())
        message = ZoSystemMessageText(static_cast<DWORD>(hr));
    CZoNode& entry = m_root.AppendChild(kEntry, {});
    entry.AppendChild(kDescription, message);
    entry.AppendChild(kErrorCode, ZoFormat(OLESTR("%d"), static_cast<int>(hr)));
    if (errorInfo) {
        CComBSTR helpFile;
        if (SUCCEEDED(errorInfo->GetHelpFile(&helpFile)) && helpFile.Length() > 0)
            AddInfo(kSourceFile, ViewOfBstr(helpFile));
    }
}

CZoException& CZoException::AddError(OleStringView message, LONG code, OleStringView sourceFile, int sourceLine,
                                     OleStringView sourceFunction)
{
    CZoNode& entry = m_root.AppendChild(kEntry, {});
    entry.AppendChild(kDescription, message);
    entry.AppendChild(kErrorCode, ZoFormat(OLESTR("%d"), static_cast<int>(code)));
    entry.AppendChild(kSourceFile, sourceFile);
    entry.AppendChild(kSourceLine, ZoFormat(OLESTR("%d"), sourceLine));
    entry.AppendChild(kSourceFunction, sourceFunction);
    return *this;
}

CZoNode* CZoException::NewestRaisedEntry()
{
    const auto entries = m_root.ChildrenByName(kEntry);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (FirstChildNamed(**it, kErrorCode) && !IsFrameEntry(**it))
            return *it;
    }
    return nullptr;
}

void CZoException::AddInfo(OleStringView name, OleStringView value)
{
    const OleString cleaned = CleanedElementName(name);
    CZoNode* entry = NewestRaisedEntry();
    if (!cleaned.empty() && entry)
        entry->AppendChild(cleaned, value);
}

bool CZoException::HasInfo(OleStringView name)
{
    const OleString cleaned = CleanedElementName(name);
    CZoNode* entry = NewestRaisedEntry();
    return !cleaned.empty() && entry && FirstChildNamed(*entry, cleaned);
}

void CZoException::AddInfo(OleStringView name, LONG value, bool hex)
{
    AddInfo(name, hex ? ZoFormat(OLESTR("0x%X"), static_cast<unsigned>(value)) : ZoFormat(OLESTR("%d"), static_cast<int>(value)));
}

OleString CZoException::GetDescription() const
{
    OleString text;
    const auto entries = m_root.ChildrenByName(kEntry);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        OleString entryText;
        bool frameEntry = false;
        for (const CZoNode* child : (*it)->Children()) {
            const OleString& name = child->Name();
            if (name == kDescription) {
                entryText += child->Value();
                entryText.push_back('\n');
            } else if (name == kErrorCode && child->Value() == kStackTraceCode) {
                frameEntry = true;
                break;
            } else if (name != kSourceFile && name != kSourceLine && name != kSourceFunction) {
                entryText.push_back('\t');
                entryText += name;
                entryText += OLESTR(":\t");
                entryText += child->Value();
                entryText.push_back('\n');
            }
        }
        if (!frameEntry)
            text += entryText;
    }
    text.push_back('\n');
    text += GetStackTrace();

    OleString doubled;
    doubled.reserve(text.size());
    for (OLECHAR c : text) {
        doubled.push_back(c);
        if (c == '%')
            doubled.push_back('%');
    }
    return doubled;
}

OleString CZoException::GetStackTrace() const
{
    OleString trace = OLESTR("Stack trace:");
    OleString previousFunction, previousFile, previousLine;
    bool first = true;
    const auto entries = m_root.ChildrenByName(kEntry);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        OleString function = ChildText(**it, kSourceFunction, OLESTR("Unknown function"));
        OleString file = ChildText(**it, kSourceFile, OLESTR("Unknown file"));
        OleString line = ChildText(**it, kSourceLine, OLESTR("Unknown line"));
        if (first || function != previousFunction || file != previousFile || line != previousLine) {
            trace += OLESTR("\n\t");
            trace += file;
            trace.push_back('(');
            trace += line;
            trace += OLESTR(") : ");
            trace += function;
        }
        first = false;
        previousFunction = std::move(function);
        previousFile = std::move(file);
        previousLine = std::move(line);
    }
    trace.push_back('\n');
    return trace;
}

OleString CZoException::GetXML() const
{
    return m_root.Write(CZoNodeWriteOptions());
}

void CZoException::LoadErrorDocument(const OLECHAR* text)
{
    m_root.Load(text, CZoNodeParseOptions());
}

// The parser keeps the line ends and tabs after an element's last child as its value, and the
// writer writes them again after the children: a document that goes through many frames
// across objects would gain a layer of them at each. Such values carry nothing, so a
// continued document drops them.
void CZoException::DropLayoutWhiteSpace(CZoNode& root)
{
    std::vector<CZoNode*> pending{&root};
    while (!pending.empty()) {
        CZoNode* node = pending.back();
        pending.pop_back();
        std::vector<CZoNode*> children = node->Children();
        if (children.empty())
            continue;
        const OleString& value = node->Value();
        if (std::all_of(value.begin(), value.end(), [](OLECHAR c) { return IsSpace(c); }))
            node->SetValue({});
        pending.insert(pending.end(), children.begin(), children.end());
    }
}

bool CZoException::IsErrorDocument(const OLECHAR* text)
{
    CZoNode root;
    return ParseErrorDocument(text, root);
}

bool CZoException::ParseErrorDocument(const OLECHAR* text, CZoNode& root)
{
    CZoNodeParseResult result;
    const OLECHAR* end = root.Load(text, CZoNodeParseOptions(), result);
    if (!end || result.errorOccurred || root.Name() != OLESTR("error"))
        return false;
    for (; *end; ++end)
        if (!IsSpace(*end))
            return false;
    bool hasEntry = false;
    for (const CZoNode* child : root.Children()) {
        if (child->Type() != CZoNodeType::Element)
            continue;
        if (child->Name() != kEntry || !FirstChildNamed(*child, kErrorCode))
            return false;
        hasEntry = true;
    }
    return hasEntry;
}
