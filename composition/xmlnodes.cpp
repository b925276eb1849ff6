#include "xmlnodes.h"

#include <libxml/xmlerror.h>

#include <cstring>

namespace xmlnodes
{

namespace
{

// Called by the parser as soon as it has read "<!DOCTYPE name ...", before any declaration of
// the internal subset: stopping here means no entity is ever declared, let alone expanded.
void stopAtDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* parser = static_cast<xmlParserCtxt*>(context);
    *static_cast<bool*>(parser->_private) = true;
    xmlStopParser(parser);
}

} // namespace

Parsed parse(const QByteArray& content)
{
    Parsed parsed;
    ParserPtr parser(xmlNewParserCtxt());
    if (!parser)
    {
        parsed.problem = QStringLiteral("the parser cannot be made");
        return parsed;
    }
    parser->_private = &parsed.declaresType;
    parser->sax->internalSubset = stopAtDocumentType;
    // Deliberately absent: XML_PARSE_NOENT (substitution), DTDLOAD / DTDATTR / DTDVALID (loading
    // the external subset), XINCLUDE and HUGE (libxml2's limits on depth and text stay). NOBLANKS
    // is absent too: it would change what the signature was computed over.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    parsed.document.reset(
        xmlCtxtReadMemory(parser.get(), content.constData(), int(content.size()), nullptr, nullptr, options));
    if (parsed.declaresType)
    {
        parsed.document.reset();
        return parsed;
    }
    if (!parsed.document || !xmlDocGetRootElement(parsed.document.get()))
    {
        parsed.document.reset();
        const xmlError* error = xmlCtxtGetLastError(parser.get());
        if (error && error->message)
            parsed.problem = QStringLiteral("line %1: %2")
                                 .arg(error->line)
                                 .arg(QString::fromUtf8(error->message).trimmed());
        else
            parsed.problem = QStringLiteral("no root element");
    }
    return parsed;
}

bool is(const xmlNode* node, const char* ns, const char* name)
{
    if (!node || node->type != XML_ELEMENT_NODE || !node->ns || !node->ns->href)
        return false;
    return std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::vector<xmlNode*> children(const xmlNode* parent, const char* ns, const char* name)
{
    std::vector<xmlNode*> found;
    for (xmlNode* child = parent->children; child; child = child->next)
        if (name ? is(child, ns, name) : child->type == XML_ELEMENT_NODE)
            found.push_back(child);
    return found;
}

int count(const xmlNode* top, const char* ns, const char* name)
{
    // libxml2 limits the depth of a document (256 without XML_PARSE_HUGE), so recursion is bounded.
    int found = is(top, ns, name) ? 1 : 0;
    for (const xmlNode* child = top->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            found += count(child, ns, name);
    return found;
}

QString text(const xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    const QString result = QString::fromUtf8(reinterpret_cast<const char*>(content)).trimmed();
    xmlFree(content);
    return result;
}

QString attribute(const xmlNode* node, const char* name, bool* present)
{
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    *present = value != nullptr;
    const QString result = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return result;
}

QString qualifiedName(const xmlNode* node)
{
    const QString ns = node->ns && node->ns->href
                           ? QString::fromUtf8(reinterpret_cast<const char*>(node->ns->href))
                           : QString();
    return QStringLiteral("{%1}%2").arg(ns, QString::fromUtf8(reinterpret_cast<const char*>(node->name)));
}

} // namespace xmlnodes
