// FormatMessageW: the message comes from the system's table, from a module (ours carry no
// message tables) or from the caller's string, then goes through the message language.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "kernel32/ApiBoundary.h"
#include "kernel32/MessageFormatter.h"
#include "kernel32/MessageTable.h"
#include "kernel32/ModuleTable.h"

using namespace lumo::platform;

namespace {

constexpr DWORD kKnownFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE |
                              FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                              FORMAT_MESSAGE_MAX_WIDTH_MASK;

// The system's texts are English only; the language-neutral and default choices resolve to it.
bool HasSystemLanguage(DWORD languageId)
{
    switch (languageId) {
    case MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL):
    case LANG_USER_DEFAULT:
    case LANG_SYSTEM_DEFAULT:
    case MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US):
        return true;
    default:
        return false;
    }
}

struct MessageSource {
    std::optional<WideString> text;
    DWORD error = ERROR_SUCCESS;
};

MessageSource Failure(DWORD error)
{
    return MessageSource{std::nullopt, error};
}

MessageSource FindMessage(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId)
{
    const bool fromString = flags & FORMAT_MESSAGE_FROM_STRING;
    const bool fromModule = flags & FORMAT_MESSAGE_FROM_HMODULE;
    const bool fromSystem = flags & FORMAT_MESSAGE_FROM_SYSTEM;
    if (fromString) {
        if ((fromModule || fromSystem) || !source)
            return Failure(ERROR_INVALID_PARAMETER);
        return MessageSource{WideString(static_cast<LPCWSTR>(source)), ERROR_SUCCESS};
    }
    if (!fromModule && !fromSystem)
        return Failure(ERROR_INVALID_PARAMETER);
    if (fromModule && source && !ModuleTable::Instance().Contains(static_cast<HMODULE>(const_cast<void*>(source))))
        return Failure(ERROR_INVALID_HANDLE);
    // A module is searched before the system; no module here has a message table.
    if (!fromSystem)
        return Failure(ERROR_RESOURCE_TYPE_NOT_FOUND);
    if (!HasSystemLanguage(languageId))
        return Failure(ERROR_RESOURCE_LANG_NOT_FOUND);
    auto text = FindSystemMessage(messageId);
    if (!text)
        return Failure(ERROR_MR_MID_NOT_FOUND);
    return MessageSource{std::move(text), ERROR_SUCCESS};
}

}  // namespace

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                            DWORD nSize, va_list* Arguments)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        const bool allocate = dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER;
        if (!lpBuffer || (dwFlags & ~kKnownFlags)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        // With ALLOCATE_BUFFER the buffer argument is where the allocated block's address goes;
        // it is null after a failure.
        auto* allocated = reinterpret_cast<LPWSTR*>(lpBuffer);
        if (allocate)
            *allocated = nullptr;

        const MessageSource source = FindMessage(dwFlags, lpSource, dwMessageId, dwLanguageId);
        if (!source.text) {
            SetLastError(source.error);
            return 0;
        }
        MessageOptions options;
        options.ignoreInserts = dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS;
        options.maxWidth = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
        if (dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY)
            options.argumentArray = reinterpret_cast<const DWORD_PTR*>(Arguments);
        else
            options.argumentList = Arguments;
        const FormattedMessage message = FormatMessageText(*source.text, options);
        if (message.error != ERROR_SUCCESS) {
            SetLastError(message.error);
            return 0;
        }

        const size_t length = message.text.size();
        LPWSTR out = lpBuffer;
        if (allocate) {
            const size_t characters = std::max<size_t>(length + 1, nSize);
            out = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, characters * sizeof(WCHAR)));
            if (!out) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return 0;
            }
            *allocated = out;
        } else if (length + 1 > nSize) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(out, message.text.data(), length * sizeof(WCHAR));
        out[length] = u'\0';
        return static_cast<DWORD>(length);
    });
}
