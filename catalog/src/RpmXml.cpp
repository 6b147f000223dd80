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
    return xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString();
}

} // namespace RpmXml
