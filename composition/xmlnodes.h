#pragma once

// Small readers over libxml2's tree for the composition reader; private to this library (its
// users never see libxml2).

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <vector>

namespace xmlnodes
{

struct DocFree
{
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct ParserFree
{
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserFree>;

// What parsing gave: the document, or why there is none.
struct Parsed
{
    DocPtr document;
    bool declaresType = false; // a document type declaration was met; parsing stopped there
    QString problem;           // the parser's message with its line, when there is no document
};

// Parses without touching anything outside `content`: no network, no DTD loaded, no entity
// substituted, no XInclude, libxml2's own size limits kept. Parsing stops at a document type
// declaration, before its declarations are read (so no entity is ever declared). Messages are
// kept, never printed.
Parsed parse(const QByteArray& content);

// libxml2 and libxmlsec1 spell their strings as xmlChar; these helpers take char.
inline const char* chars(const xmlChar* text)
{
    return reinterpret_cast<const char*>(text);
}

// Whether `node` is an element of that namespace and local name.
bool is(const xmlNode* node, const char* ns, const char* name);
// The child elements of that namespace and name, in document order; name null: all children
// that are elements.
std::vector<xmlNode*> children(const xmlNode* parent, const char* ns, const char* name);
// How many elements of that namespace and name are in the subtree under and including `top`.
int count(const xmlNode* top, const char* ns, const char* name);
// The text content of the element, trimmed of white space at both ends.
QString text(const xmlNode* node);
// An attribute (without namespace); *present says whether it is there at all.
QString attribute(const xmlNode* node, const char* name, bool* present);
// "{namespace}name" of an element, for details.
QString qualifiedName(const xmlNode* node);

} // namespace xmlnodes
