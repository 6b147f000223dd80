#include "rpmprimaryparser.h"

#include "bytesource.h"
#include "rpmxml.h"
#include "sourcedevice.h"

#include <QXmlStreamReader>

void RpmPrimaryParser::parse(ByteSource &source, const Callback &callback)
{
    SourceDevice device(source);
    QXmlStreamReader xml(&device);
    RpmPackage package;
    int depth = 0;
    while (RpmXml::nextStartElement(xml, depth)) {
        if (xml.name() != QLatin1String("package")) {
            continue;
        }
        const bool isRpm = xml.attributes().value(QLatin1String("type")) == QLatin1String("rpm");
        const uint64_t line = uint64_t(xml.lineNumber());
        package.clear();
        readPackage(xml, package);
        --depth; // readPackage read up to and with </package>
        if (isRpm && !xml.hasError()) {
            RpmXml::checkPackage(package, source, line);
            callback(package);
        }
    }
    device.rethrowFailure();
    RpmXml::checkError(xml, source);
}

// Reads <format> up to its end tag, keeping <rpm:group>; Fedora writes "Unspecified"
// for every package, which names no group.
void RpmPrimaryParser::readFormat(QXmlStreamReader &xml, RpmPackage &package)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("group")) {
            RpmXml::skipElement(xml);
            continue;
        }
        package.group = RpmXml::elementText(xml);
        if (package.group == "Unspecified") {
            package.group.clear();
        }
    }
}

// Reads the children of <package> up to its end tag.
void RpmPrimaryParser::readPackage(QXmlStreamReader &xml, RpmPackage &package)
{
    QStringList seen;
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        const bool identity = tag == QLatin1String("name") || tag == QLatin1String("arch")
                              || tag == QLatin1String("version");
        if (identity && !RpmXml::firstTime(xml, seen)) {
            return;
        }
        if (tag == QLatin1String("name")) {
            package.name = RpmXml::elementText(xml);
        } else if (tag == QLatin1String("arch")) {
            package.arch = RpmXml::elementText(xml);
        } else if (tag == QLatin1String("summary")) {
            package.summary = RpmXml::elementText(xml);
        } else if (tag == QLatin1String("format")) {
            readFormat(xml, package);
        } else if (tag == QLatin1String("version")) {
            package.epoch = RpmXml::attribute(xml, "epoch");
            package.ver = RpmXml::attribute(xml, "ver");
            package.rel = RpmXml::attribute(xml, "rel");
            RpmXml::skipElement(xml);
        } else {
            RpmXml::skipElement(xml);
        }
    }
}
