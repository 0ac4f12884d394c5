// One libxml2 document with the nodes created for it, shared by the DOM objects that show it.
//
// Nodes are never freed while the tree lives: one taken out of the tree, or never put in,
// is kept until the tree goes, since DOM objects may still point at it. Every access to the
// tree's nodes holds its mutex.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace lumo::platform::msxml {

class XmlTree {
public:
    // Takes ownership of doc.
    XmlTree(xmlDocPtr doc, bool preserveWhiteSpace) noexcept;
    ~XmlTree();
    XmlTree(const XmlTree&) = delete;
    XmlTree& operator=(const XmlTree&) = delete;

    // An empty document; throws std::bad_alloc.
    static std::shared_ptr<XmlTree> CreateEmpty(bool preserveWhiteSpace);

    xmlDocPtr Doc() const noexcept { return m_doc; }
    std::recursive_mutex& Mutex() noexcept { return m_mutex; }

    // The document's XPath context, made on first use and used under Mutex(): making one
    // registers every XPath function anew, which would cost more than most queries.
    xmlXPathContextPtr XPathContext();

    // A node of this document without a parent, to be freed with the tree unless it has a
    // parent then: one that gains a parent is freed with it, or with the document.
    void KeepDetached(xmlNodePtr node);

    bool PreserveWhiteSpace() const noexcept { return m_preserveWhiteSpace; }
    void SetPreserveWhiteSpace(bool preserve) noexcept { m_preserveWhiteSpace = preserve; }

private:
    xmlDocPtr m_doc;
    std::recursive_mutex m_mutex;
    // Every node made or taken out of the tree without a parent, once or more.
    std::vector<xmlNodePtr> m_detached;
    xmlXPathContextPtr m_xpathContext = nullptr;
    std::atomic<bool> m_preserveWhiteSpace;
};

// A node with the tree that keeps it alive.
struct NodeRef {
    std::shared_ptr<XmlTree> tree;
    xmlNodePtr node = nullptr;
};

}  // namespace lumo::platform::msxml
