#include "ZoFrame.h"

#include <cstring>
#include <exception>
#include <new>

#include <objbase.h>
#include <oleauto.h>

#include "ComPtr.h"
#include "ZoFormat.h"
#include "ZoLogReporter.h"

namespace {

void LogFrameLines(const CZoFrameSite& site, const OLECHAR* detailFormat, const OLECHAR* detail)
{
    ZoReportToLog(ZO_LOG_WARNING, OLESTR("Exception caught in %s (%s : %d)\n"), site.function, site.file, site.line);
    ZoReportToLog(ZO_LOG_WARNING, detailFormat, detail);
}

}  // namespace

void ZoRaiseCurrentException(const CZoFrameSite& site)
{
    try {
        throw;
    } catch (const CComError& error) {
        CZoException exception(error);
        exception.AddError(OLESTR(""), ZO_ERR_STACKTRACE, site.file, site.line, site.function);
        throw exception;
    } catch (CZoException& exception) {
        exception.AddError(ZO_ERR_STACKTRACE, site.file, site.line, site.function);
        throw;
    } catch (const std::exception& exception) {
        throw CZoException(ZO_ERR_STD_EXCEPTION.message + ZoAnsiToOle(exception.what()), ZO_ERR_STD_EXCEPTION,
                           site.file, site.line, site.function);
    } catch (const char* text) {
        throw CZoException(ZO_ERR_CHAR_EXCEPTION.message + ZoAnsiToOle(text), ZO_ERR_CHAR_EXCEPTION, site.file,
                           site.line, site.function);
    } catch (const OLECHAR* text) {
        throw CZoException(ZO_ERR_WCHAR_EXCEPTION.message + OleString(ViewOfOleText(text)),
                           ZO_ERR_WCHAR_EXCEPTION, site.file, site.line, site.function);
    } catch (...) {
        throw CZoException(ZO_ERR_UNHANDLED, site.file, site.line, site.function);
    }
}

HRESULT ZoReportException(const CZoException& exception, REFIID iid, REFCLSID clsid)
{
    const OleString xml = exception.GetXML();
    CComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(&creator)) || !creator) {
        // No stale error object may pass for this one.
        SetErrorInfo(0, nullptr);
        return E_ZO_EXCEPTION;
    }
    creator->SetGUID(iid);
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId)
        creator->SetSource(progId);
    CoTaskMemFree(progId);
    creator->SetDescription(const_cast<LPOLESTR>(xml.c_str()));
    CComPtr<IErrorInfo> errorInfo;
    SetErrorInfo(0, SUCCEEDED(creator.QueryInterface(&errorInfo)) ? errorInfo.p : nullptr);
    return E_ZO_EXCEPTION;
}

void ZoLogException(const CZoException& exception, const CZoFrameSite& site)
{
    // Built first, so that a failure here leaves the guard's lines rather than half of these.
    const OleString description = exception.GetDescription();
    LogFrameLines(site, OLESTR("%s\n"), description.c_str());
}

CZoException ZoRuntimeErrorException(int error, const OLECHAR* file, int line, const OLECHAR* function)
{
    constexpr size_t kMaxMessageLength = 1024;
    const char* text = std::strerror(error);
    if (!text || !*text)
        return CZoException(ZO_ERR_UNDEFINED, file, line, function);
    OleString message = ZoAnsiToOle(text);
    if (message.size() > kMaxMessageLength)
        message.resize(kMaxMessageLength);
    return CZoException(message, error, file, line, function);
}

HRESULT ZoStatusOfFailedHandling() noexcept
{
    SetErrorInfo(0, nullptr);
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void ZoLogFailedHandling(const CZoFrameSite& site) noexcept
{
    const OLECHAR* reason = OLESTR("unexpected exception");
    try {
        throw;
    } catch (const std::bad_alloc&) {
        reason = OLESTR("out of memory");
    } catch (...) {
    }
    LogFrameLines(site, OLESTR("Error handling failed: %s\n"), reason);
}
