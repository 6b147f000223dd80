#include "rpmfilelistsparser.h"

#include "bytesource.h"
#include "rpmxml.h"
#include "sourcedevice.h"

#include <QXmlStreamReader>

void RpmFilelistsParser::parse(ByteSource &source, const Callback &callback)
{
    SourceDevice device(source);
    QXmlStreamReader xml(&device);
    RpmPackage package;
    std::vector<std::string> files;
    int depth = 0;
    while (RpmXml::nextStartElement(xml, depth)) {
        if (xml.name() != QLatin1String("package")) {
            continue;
        }
        const uint64_t line = uint64_t(xml.lineNumber());
        package.clear();
        package.name = RpmXml::attribute(xml, "name");
        package.arch = RpmXml::attribute(xml, "arch");
        files.clear();
        readPackage(xml, package, files);
        --depth; // readPackage read up to and with </package>
        if (!xml.hasError()) {
            RpmXml::checkPackage(package, source, line);
            callback(package, files);
        }
    }
    device.rethrowFailure();
    RpmXml::checkError(xml, source);
}

void RpmFilelistsParser::readPackage(QXmlStreamReader &xml, RpmPackage &package,
                                     std::vector<std::string> &files)
{
    QStringList seen;
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        if (tag == QLatin1String("version") && !RpmXml::firstTime(xml, seen)) {
            return;
        }
        if (tag == QLatin1String("version")) {
            package.epoch = RpmXml::attribute(xml, "epoch");
            package.ver = RpmXml::attribute(xml, "ver");
            package.rel = RpmXml::attribute(xml, "rel");
            RpmXml::skipElement(xml);
        } else if (tag == QLatin1String("file")) {
            const bool isDir = xml.attributes().value(QLatin1String("type")) == QLatin1String("dir");
            std::string path = RpmXml::elementText(xml);
            if (!isDir) {
                files.push_back(std::move(path));
            }
        } else {
            RpmXml::skipElement(xml);
        }
    }
}
