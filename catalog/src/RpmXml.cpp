#include "RpmXml.h"

#include "ByteSource.h"
#include "ParseError.h"

namespace RpmXml {

void checkError(const QXmlStreamReader &xml, const ByteSource &source)
{
    if (!xml.hasError())
        return;
    throw ParseError(source.name(), uint64_t(xml.lineNumber()),
                     "XML error: " + xml.errorString().toStdString(),
                     uint64_t(xml.columnNumber()));
}

std::string attribute(const QXmlStreamReader &xml, const char *name)
{
    return xml.attributes().value(QLatin1String(name)).toString().toStdString();
}

std::string elementText(QXmlStreamReader &xml)
{
    // Same result as readElementText(IncludeChildElements), but iterative:
    // Qt 5 recurses once per nested child element there, so a few hundred
    // kilobytes of "<a><a><a>..." overflowed the stack.
    QString text;
    for (int depth = 1; depth > 0;) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Invalid:
            return std::string(); // the caller checks xml.hasError()
        default:
            break; // comments and processing instructions
        }
    }
    return text.toStdString();
}

} // namespace RpmXml
