#include "SItem.h"

#include <utility>

#include "ComPtr.h"
#include "LumoEnum.h"
#include "StoredValue.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

// The members' errors carry the collection's source name, as they always have.
ZO_SOURCE_FILE_IS(CLumoEnum::kSourceFile)

namespace {

CComPtr<IGlobalInterfaceTable> GlobalInterfaceTable()
{
    CComPtr<IGlobalInterfaceTable> table;
    ZoCheckPlatform(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)));
    return table;
}

}  // namespace

SItem::SItem(const VARIANT& value, const VARIANT& key)
{
    ZO_BLOCK(OLESTR("SItem::SItem"))
    {
        SetItem(value);
        ZoCheckPlatform(m_key.Copy(&key));
    }
    ZO_BLOCK_END
}

SItem::SItem(SItem&& other) noexcept
    : m_key(std::move(other.m_key))
    , m_value(std::move(other.m_value))
    , m_registration(std::exchange(other.m_registration, 0))
{
}

SItem& SItem::operator=(SItem&& other) noexcept
{
    if (this != &other) {
        Revoke();
        m_key = std::move(other.m_key);
        m_value = std::move(other.m_value);
        m_registration = std::exchange(other.m_registration, 0);
    }
    return *this;
}

SItem::~SItem()
{
    Revoke();
}

void SItem::Revoke() noexcept
{
    if (m_registration == 0)
        return;
    CComPtr<IGlobalInterfaceTable> table;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table))))
        table->RevokeInterfaceFromGlobal(m_registration);
    m_registration = 0;
}

bool SItem::IsCOMFTMObject(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("SItem::IsCOMFTMObject"))
    {
        return CZoVariant::IsObject(value) && ZoQueryIfAnswers<ILumoItemBase>(value.punkVal) != nullptr;
    }
    ZO_FUNCTION_END
}

void SItem::SetItem(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("SItem::SetItem"))
    {
        CComVariant stored = StoredCopy(value);
        if (CZoVariant::IsObject(stored) && !IsCOMFTMObject(stored)) {
            DWORD registration = 0;
            ZoCheckPlatform(GlobalInterfaceTable()->RegisterInterfaceInGlobal(stored.punkVal, IID_IUnknown,
                                                                               &registration));
            Revoke();
            m_registration = registration;
            m_value.Clear();
            return;
        }
        Revoke();
        m_value.Swap(stored);
    }
    ZO_FUNCTION_END
}

const VARIANT& SItem::GetVal()
{
    ZO_BLOCK(OLESTR("SItem::GetVal"))
    {
        if (m_registration == 0)
            return;
        CComVariant fetched;
        const HRESULT hr = GlobalInterfaceTable()->GetInterfaceFromGlobal(m_registration, IID_IUnknown,
                                                                           reinterpret_cast<void**>(&fetched.punkVal));
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        fetched.vt = VT_UNKNOWN;
        m_value.Swap(fetched);
    }
    ZO_BLOCK_END
    return m_value;
}
