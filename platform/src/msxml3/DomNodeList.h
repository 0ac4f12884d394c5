// A list of nodes as it stood when it was made (child nodes, XPath results).
#pragma once

#include <atomic>
#include <vector>

#include <msxml2.h>

#include "msxml3/XmlTree.h"

namespace lumo::platform::msxml {

class DomNodeList final : public IXMLDOMNodeList {
public:
    static HRESULT Create(std::shared_ptr<XmlTree> tree, std::vector<xmlNodePtr> nodes,
                          IXMLDOMNodeList** list) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // S_FALSE and null for an index outside the list.
    STDMETHODIMP get_item(LONG index, IXMLDOMNode** listItem) override;
    STDMETHODIMP get_length(LONG* listLength) override;

private:
    DomNodeList(std::shared_ptr<XmlTree> tree, std::vector<xmlNodePtr> nodes) noexcept
        : m_tree(std::move(tree)), m_nodes(std::move(nodes))
    {
    }
    ~DomNodeList() = default;

    std::atomic<ULONG> m_refs{1};
    const std::shared_ptr<XmlTree> m_tree;
    const std::vector<xmlNodePtr> m_nodes;
};

}  // namespace lumo::platform::msxml
