#include "rpmxml.h"

#include "bytesource.h"
#include "parseerror.h"
#include "rpmpackage.h"

namespace RpmXml {

namespace {
void raiseTooDeep(QXmlStreamReader &xml)
{
    xml.raiseError(QStringLiteral("elements nested more than %1 deep").arg(kMaxDepth));
}
} // namespace

bool nextStartElement(QXmlStreamReader &xml, int &depth)
{
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxDepth) {
                raiseTooDeep(xml);
                return false;
            }
            return true;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

void skipElement(QXmlStreamReader &xml)
{
    for (int depth = 1; depth > 0 && !xml.atEnd();) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxDepth) {
                raiseTooDeep(xml);
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
}

void checkError(const QXmlStreamReader &xml, const ByteSource &source)
{
    if (!xml.hasError()) {
        return;
    }
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
    // Text pieces between child elements add up; a name or path is never
    // near this long.
    constexpr int kMaxElementText = 1 << 20;
    // Same result as readElementText(IncludeChildElements), but iterative:
    // Qt 5 recurses once per nested child element there, so a few hundred
    // kilobytes of "<a><a><a>..." overflowed the stack.
    QString text;
    for (int depth = 1; depth > 0;) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            if (text.size() > kMaxElementText) {
                xml.raiseError(QStringLiteral("element text longer than %1 KiB")
                                   .arg(kMaxElementText >> 10));
                return std::string();
            }
            break;
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxDepth) {
                raiseTooDeep(xml);
                return std::string();
            }
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

void checkPackage(const RpmPackage &package, const ByteSource &source, uint64_t line)
{
    const char *missing = package.name.empty()  ? "name"
                          : package.ver.empty() ? "version"
                          : package.arch.empty() ? "architecture"
                                                 : nullptr;
    if (missing) {
        throw ParseError(source.name(), line, std::string("<package> without a ") + missing);
    }
    if ((package.name + package.arch).find('/') != std::string::npos) {
        throw ParseError(source.name(), line, "<package> with '/' in its name or architecture");
    }
}

bool firstTime(QXmlStreamReader &xml, QStringList &seen)
{
    const QString tag = xml.name().toString();
    if (seen.contains(tag)) {
        xml.raiseError(QStringLiteral("<%1> given twice in one <package>").arg(tag));
        return false;
    }
    seen << tag;
    return true;
}

} // namespace RpmXml
