#include "repomdparser.h"

#include "bytesource.h"
#include "parseerror.h"
#include "rpmxml.h"
#include "sourcedevice.h"

RepomdParser::Locations RepomdParser::parse(ByteSource &source)
{
    SourceDevice device(source);
    QXmlStreamReader xml(&device);
    Locations found;
    std::string dataType;
    int depth = 0;
    while (RpmXml::nextStartElement(xml, depth)) {
        if (xml.name() == QLatin1String("data")) {
            dataType = RpmXml::attribute(xml, "type");
        } else if (xml.name() == QLatin1String("location")) {
            const std::string href = RpmXml::attribute(xml, "href");
            if (dataType == "primary") {
                found.primary = href;
            } else if (dataType == "filelists") {
                found.filelists = href;
            }
        }
    }
    device.rethrowFailure();
    RpmXml::checkError(xml, source);
    if (found.primary.empty()) {
        throw ParseError(source.name(), 0, "repomd.xml names no primary metadata");
    }
    return found;
}
