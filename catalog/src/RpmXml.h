#pragma once

#include <QXmlStreamReader>

#include <string>

class ByteSource;

// Shared pieces of the repodata XML parsers (repomd, primary, filelists).
namespace RpmXml {

// Throws a ParseError with file, line and column if `xml` failed.
void checkError(const QXmlStreamReader &xml, const ByteSource &source);

std::string attribute(const QXmlStreamReader &xml, const char *name);

// Reads the text of the current element (the reader must be on its start).
std::string elementText(QXmlStreamReader &xml);

} // namespace RpmXml
