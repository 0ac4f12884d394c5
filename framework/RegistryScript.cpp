#include "RegistryScript.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

OLECHAR LowerAscii(OLECHAR c) noexcept
{
    return c >= OLESTR('A') && c <= OLESTR('Z') ? static_cast<OLECHAR>(c - OLESTR('A') + OLESTR('a')) : c;
}

bool IsSpace(OLECHAR c) noexcept
{
    return c == OLESTR(' ') || c == OLESTR('\t') || c == OLESTR('\r') || c == OLESTR('\n') || c == OLESTR('\v') ||
           c == OLESTR('\f');
}

int HexDigit(OLECHAR c) noexcept
{
    if (c >= OLESTR('0') && c <= OLESTR('9'))
        return c - OLESTR('0');
    const OLECHAR lower = LowerAscii(c);
    if (lower >= OLESTR('a') && lower <= OLESTR('f'))
        return lower - OLESTR('a') + 10;
    return -1;
}

HRESULT Expand(OleStringView script, const RegistryReplacements& replacements, OleString& expanded)
{
    expanded.reserve(script.size());
    for (size_t at = 0; at < script.size();) {
        const size_t percent = script.find(OLESTR('%'), at);
        expanded.append(script.substr(at, percent - at));
        if (percent == OleStringView::npos)
            break;
        const size_t close = script.find(OLESTR('%'), percent + 1);
        if (close == OleStringView::npos)
            return DISP_E_EXCEPTION;
        const OleStringView name = script.substr(percent + 1, close - percent - 1);
        if (name.empty()) {
            expanded += OLESTR('%');
        } else {
            const auto found = std::find_if(replacements.begin(), replacements.end(),
                                            [&](const RegistryReplacement& r) { return RegistryNamesEqual(r.name, name); });
            if (found == replacements.end())
                return DISP_E_EXCEPTION;
            expanded += found->text;
        }
        at = close + 1;
    }
    return S_OK;
}

struct Token {
    enum class Kind { Word, Quoted, Open, Close, Equals };
    Kind kind;
    OleString text;
};

HRESULT Tokenize(OleStringView text, std::vector<Token>& tokens)
{
    size_t at = 0;
    while (at < text.size()) {
        if (IsSpace(text[at])) {
            ++at;
            continue;
        }
        Token token{Token::Kind::Word, {}};
        if (text[at] == OLESTR('\'')) {
            token.kind = Token::Kind::Quoted;
            for (++at;; ++at) {
                if (at == text.size())
                    return DISP_E_EXCEPTION;
                if (text[at] == OLESTR('\'')) {
                    if (at + 1 == text.size() || text[at + 1] != OLESTR('\'')) {
                        ++at;
                        break;
                    }
                    ++at;  // '' stands for one quote
                }
                token.text += text[at];
            }
            if (at < text.size() && !IsSpace(text[at]))
                return DISP_E_EXCEPTION;
        } else {
            const size_t start = at;
            while (at < text.size() && !IsSpace(text[at]))
                ++at;
            token.text.assign(text.substr(start, at - start));
            if (token.text.find(OLESTR('\'')) != OleString::npos)
                return DISP_E_EXCEPTION;
            if (token.text == OLESTR("{"))
                token.kind = Token::Kind::Open;
            else if (token.text == OLESTR("}"))
                token.kind = Token::Kind::Close;
            else if (token.text == OLESTR("="))
                token.kind = Token::Kind::Equals;
        }
        if (token.text.find(OLESTR('\0')) != OleString::npos)
            return DISP_E_EXCEPTION;
        tokens.push_back(std::move(token));
    }
    return S_OK;
}

struct RootName {
    const OLECHAR* shortName;
    const OLECHAR* longName;
    HKEY key;
};

const RootName kRootNames[] = {
    {OLESTR("HKCR"), OLESTR("HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT},
    {OLESTR("HKCU"), OLESTR("HKEY_CURRENT_USER"), HKEY_CURRENT_USER},
    {OLESTR("HKLM"), OLESTR("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE},
    {OLESTR("HKPD"), OLESTR("HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA},
    {OLESTR("HKDD"), OLESTR("HKEY_DYN_DATA"), HKEY_DYN_DATA},
    {OLESTR("HKCC"), OLESTR("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG},
};

void AppendText(OleStringView text, std::vector<BYTE>& data)
{
    const size_t at = data.size();
    // The terminating NUL comes from resize, which zero-fills.
    data.resize(at + (text.size() + 1) * sizeof(OLECHAR));
    if (!text.empty())
        std::memcpy(data.data() + at, text.data(), text.size() * sizeof(OLECHAR));
}

bool ToNumber(OleStringView text, DWORD& number) noexcept
{
    unsigned base = 10;
    if (text.size() > 2 && text[0] == OLESTR('0') && LowerAscii(text[1]) == OLESTR('x')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    unsigned long long value = 0;
    for (OLECHAR c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return false;
        value = value * base + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    number = static_cast<DWORD>(value);
    return true;
}

bool ToBinary(OleStringView text, std::vector<BYTE>& data)
{
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        data.push_back(static_cast<BYTE>(high * 16 + low));
    }
    return true;
}

// Each part between backslash-zero sequences becomes one string; a trailing backslash-zero
// ends the last string rather than starting an empty one.
void ToMultiString(OleStringView text, std::vector<BYTE>& data)
{
    static constexpr OLECHAR kSeparator[] = OLESTR("\\0");
    while (!text.empty()) {
        const size_t separator = text.find(kSeparator);
        AppendText(text.substr(0, separator), data);
        if (separator == OleStringView::npos)
            break;
        text.remove_prefix(separator + 2);
    }
    AppendText(OleStringView(), data);
}

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens) noexcept : m_tokens(tokens) {}

    HRESULT Script(RegistryScript& script)
    {
        while (m_next < m_tokens.size()) {
            const Token& name = m_tokens[m_next++];
            const RootName* root = nullptr;
            for (const RootName& candidate : kRootNames) {
                if (RegistryNamesEqual(name.text, candidate.shortName) ||
                    RegistryNamesEqual(name.text, candidate.longName))
                    root = &candidate;
            }
            if (name.kind != Token::Kind::Word || !root || !Take(Token::Kind::Open))
                return DISP_E_EXCEPTION;
            RegistryScriptRoot parsed{root->key, {}};
            if (const HRESULT hr = Block(parsed.block, 1); FAILED(hr))
                return hr;
            script.roots.push_back(std::move(parsed));
        }
        return S_OK;
    }

private:
    // After the opening brace, up to and including the closing one.
    HRESULT Block(RegistryScriptBlock& block, int depth)
    {
        if (depth > kMaxRegistryScriptDepth)
            return DISP_E_EXCEPTION;
        while (!Take(Token::Kind::Close)) {
            if (const HRESULT hr = Entry(block, depth); FAILED(hr))
                return hr;
        }
        return S_OK;
    }

    HRESULT Entry(RegistryScriptBlock& block, int depth)
    {
        const RegistryKeyMarker marker = Marker();
        const Token* name = Next();
        if (!name || (name->kind != Token::Kind::Word && name->kind != Token::Kind::Quoted))
            return DISP_E_EXCEPTION;
        const bool keyword = name->kind == Token::Kind::Word;
        if (keyword && RegistryNamesEqual(name->text, OLESTR("val"))) {
            if (marker != RegistryKeyMarker::None)
                return DISP_E_EXCEPTION;
            return NamedValue(block);
        }
        // A second marker, or a key name that is no name at all.
        if ((keyword && MarkerOf(name->text) != RegistryKeyMarker::None) || name->text.empty() || name->text.find(OLESTR('\\')) != OleString::npos)
            return DISP_E_EXCEPTION;
        RegistryScriptKey key{marker, name->text, std::nullopt, {}};
        if (Take(Token::Kind::Equals)) {
            key.defaultValue.emplace();
            if (const HRESULT hr = TypedData(*key.defaultValue); FAILED(hr))
                return hr;
        }
        if (Take(Token::Kind::Open)) {
            if (const HRESULT hr = Block(key.block, depth + 1); FAILED(hr))
                return hr;
        }
        block.keys.push_back(std::move(key));
        return S_OK;
    }

    // After "val": NAME = T 'value'.
    HRESULT NamedValue(RegistryScriptBlock& block)
    {
        const Token* name = Next();
        if (!name || (name->kind != Token::Kind::Word && name->kind != Token::Kind::Quoted) ||
            !Take(Token::Kind::Equals))
            return DISP_E_EXCEPTION;
        RegistryScriptValue value{name->text, REG_NONE, {}};
        if (const HRESULT hr = TypedData(value); FAILED(hr))
            return hr;
        block.values.push_back(std::move(value));
        return S_OK;
    }

    // T 'value', after the "=".
    HRESULT TypedData(RegistryScriptValue& value)
    {
        const Token* type = Next();
        const Token* text = Next();
        if (!type || type->kind != Token::Kind::Word || type->text.size() != 1 || !text ||
            text->kind != Token::Kind::Quoted)
            return DISP_E_EXCEPTION;
        switch (LowerAscii(type->text[0])) {
        case OLESTR('s'):
            value.type = REG_SZ;
            AppendText(text->text, value.data);
            return S_OK;
        case OLESTR('d'): {
            DWORD number = 0;
            if (!ToNumber(text->text, number))
                return DISP_E_EXCEPTION;
            value.type = REG_DWORD;
            value.data.resize(sizeof(number));
            std::memcpy(value.data.data(), &number, sizeof(number));
            return S_OK;
        }
        case OLESTR('b'):
            value.type = REG_BINARY;
            return ToBinary(text->text, value.data) ? S_OK : DISP_E_EXCEPTION;
        case OLESTR('m'):
            value.type = REG_MULTI_SZ;
            ToMultiString(text->text, value.data);
            return S_OK;
        default:
            return DISP_E_EXCEPTION;
        }
    }

    static RegistryKeyMarker MarkerOf(OleStringView word) noexcept
    {
        if (RegistryNamesEqual(word, OLESTR("NoRemove")))
            return RegistryKeyMarker::NoRemove;
        if (RegistryNamesEqual(word, OLESTR("ForceRemove")))
            return RegistryKeyMarker::ForceRemove;
        if (RegistryNamesEqual(word, OLESTR("Delete")))
            return RegistryKeyMarker::Delete;
        return RegistryKeyMarker::None;
    }

    RegistryKeyMarker Marker() noexcept
    {
        if (m_next >= m_tokens.size() || m_tokens[m_next].kind != Token::Kind::Word)
            return RegistryKeyMarker::None;
        const RegistryKeyMarker marker = MarkerOf(m_tokens[m_next].text);
        if (marker != RegistryKeyMarker::None)
            ++m_next;
        return marker;
    }

    const Token* Next() noexcept { return m_next < m_tokens.size() ? &m_tokens[m_next++] : nullptr; }

    bool Take(Token::Kind kind) noexcept
    {
        if (m_next >= m_tokens.size() || m_tokens[m_next].kind != kind)
            return false;
        ++m_next;
        return true;
    }

    const std::vector<Token>& m_tokens;
    size_t m_next = 0;
};

}  // namespace

bool RegistryNamesEqual(OleStringView a, OleStringView b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

HRESULT ParseRegistryScript(OleStringView script, const RegistryReplacements& replacements,
                            RegistryScript& parsed) noexcept
{
    try {
        OleString expanded;
        if (const HRESULT hr = Expand(script, replacements, expanded); FAILED(hr))
            return hr;
        std::vector<Token> tokens;
        if (const HRESULT hr = Tokenize(expanded, tokens); FAILED(hr))
            return hr;
        RegistryScript result;
        if (const HRESULT hr = Parser(tokens).Script(result); FAILED(hr))
            return hr;
        parsed = std::move(result);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
