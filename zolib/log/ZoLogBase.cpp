#include "ZoLogBase.h"

#include "ZoException.h"

CZoLogBase::CZoLogBase() noexcept : m_config(OLESTR("Tavrin software"), OLESTR("")) {}

CZoLogBase::~CZoLogBase() = default;

void CZoLogBase::Init() {}

void CZoLogBase::SetConfig(const CZoLogConfig& config)
{
    m_config = config;
}

void ZoDebugOutput(OleStringView text) noexcept
{
    try {
        OutputDebugStringW(OleString(text).c_str());
    } catch (...) {
        // Out of memory for the copy: nothing left to report with.
    }
}

void ZoReportLoggingFailure(const OLECHAR* function) noexcept
{
    try {
        throw;
    } catch (const CZoException& exception) {
        try {
            ZoDebugOutput(OLESTR("Error in logging function ") + OleString(ViewOfOleText(function)) + OLESTR(" : \n") +
                          exception.GetDescription());
            return;
        } catch (...) {
        }
    } catch (...) {
    }
    try {
        ZoDebugOutput(OLESTR("Access violation in logging function ") + OleString(ViewOfOleText(function)));
    } catch (...) {
    }
}
