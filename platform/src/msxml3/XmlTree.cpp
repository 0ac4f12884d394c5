#include "msxml3/XmlTree.h"

#include <algorithm>
#include <new>
#include <vector>

#include "msxml3/LibXml.h"

namespace lumo::platform::msxml {

XmlTree::XmlTree(xmlDocPtr doc, bool preserveWhiteSpace) noexcept
    : m_doc(doc), m_preserveWhiteSpace(preserveWhiteSpace)
{
}

XmlTree::~XmlTree()
{
    PrepareLibXml();
    // Only the tops of detached subtrees, each once: freeing one frees the detached nodes put
    // under it. All are found before any is freed.
    std::vector<xmlNodePtr> tops;
    for (xmlNodePtr node : m_detached)
        if (!node->parent)
            tops.push_back(node);
    std::sort(tops.begin(), tops.end());
    tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
    for (xmlNodePtr node : tops)
        xmlFreeNode(node);
    if (m_xpathContext)
        xmlXPathFreeContext(m_xpathContext);
    xmlFreeDoc(m_doc);
}

xmlXPathContextPtr XmlTree::XPathContext()
{
    if (!m_xpathContext) {
        m_xpathContext = xmlXPathNewContext(m_doc);
        if (!m_xpathContext)
            throw std::bad_alloc();
    }
    m_xpathContext->doc = m_doc;
    return m_xpathContext;
}

std::shared_ptr<XmlTree> XmlTree::CreateEmpty(bool preserveWhiteSpace)
{
    PrepareLibXml();
    xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!doc)
        throw std::bad_alloc();
    try {
        return std::make_shared<XmlTree>(doc, preserveWhiteSpace);
    } catch (...) {
        xmlFreeDoc(doc);
        throw;
    }
}

void XmlTree::KeepDetached(xmlNodePtr node)
{
    m_detached.push_back(node);
}

}  // namespace lumo::platform::msxml
