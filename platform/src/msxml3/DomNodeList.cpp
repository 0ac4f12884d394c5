#include "msxml3/DomNodeList.h"

#include <limits>
#include <new>

#include "msxml3/DomNode.h"

namespace lumo::platform::msxml {

HRESULT DomNodeList::Create(std::shared_ptr<XmlTree> tree, std::vector<xmlNodePtr> nodes,
                            IXMLDOMNodeList** list) noexcept
{
    *list = nullptr;
    if (nodes.size() > static_cast<size_t>(std::numeric_limits<LONG>::max()))
        return E_OUTOFMEMORY;
    *list = new (std::nothrow) DomNodeList(std::move(tree), std::move(nodes));
    return *list ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP DomNodeList::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNodeList) {
        *ppv = static_cast<IXMLDOMNodeList*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DomNodeList::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) DomNodeList::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

STDMETHODIMP DomNodeList::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP DomNodeList::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP DomNodeList::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP DomNodeList::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP DomNodeList::get_item(LONG index, IXMLDOMNode** listItem)
{
    if (!listItem)
        return E_INVALIDARG;
    *listItem = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_nodes.size())
        return S_FALSE;
    return WrapNode(m_tree, m_nodes[static_cast<size_t>(index)], IID_IXMLDOMNode,
                    reinterpret_cast<void**>(listItem));
}

STDMETHODIMP DomNodeList::get_length(LONG* listLength)
{
    if (!listLength)
        return E_INVALIDARG;
    *listLength = static_cast<LONG>(m_nodes.size());
    return S_OK;
}

}  // namespace lumo::platform::msxml
