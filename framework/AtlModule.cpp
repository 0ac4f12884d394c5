#include "AtlModule.h"

CAtlModule* _pAtlModule = nullptr;

CAtlModule::CAtlModule() noexcept
{
    m_bInitFailed = FAILED(m_csModule.Init());
    if (!_pAtlModule)
        _pAtlModule = this;
}

CAtlModule::~CAtlModule()
{
    Term();
    if (_pAtlModule == this)
        _pAtlModule = nullptr;
}

void CAtlModule::Term() noexcept
{
    m_csModule.Term();
}
