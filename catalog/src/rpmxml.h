#pragma once

#include <QStringList>
#include <QXmlStreamReader>

#include <cstdint>

#include <string>

class ByteSource;
struct RpmPackage;

// Shared pieces of the repodata XML parsers (repomd, primary, filelists).
namespace RpmXml {

// Elements nest at most this deep; QXmlStreamReader keeps every open element,
// so a file of nothing but "<a><a><a>..." would otherwise take any memory.
constexpr int kMaxDepth = 256;

// Reads up to the next start tag, following the nesting in `depth`; false at
// the end, or with an XML error raised when elements nest too deep.
bool nextStartElement(QXmlStreamReader &xml, int &depth);

// Skips the current element with everything in it, within the depth limit.
void skipElement(QXmlStreamReader &xml);

// Throws a ParseError with file, line and column if `xml` failed.
void checkError(const QXmlStreamReader &xml, const ByteSource &source);

std::string attribute(const QXmlStreamReader &xml, const char *name);

// Reads the text of the current element (the reader must be on its start).
// Text over 1 MiB (in characters) raises an XML error on the reader.
std::string elementText(QXmlStreamReader &xml);

// Throws a ParseError at `line` (where the <package> began) for a package
// the catalogue cannot hold: no name, version or architecture, or a '/' in
// the name or architecture.
void checkPackage(const RpmPackage &package, const ByteSource &source, uint64_t line);

// Raises an XML error on the reader when `tag` was already seen in this
// <package>; `seen` collects the tags. Returns false then.
bool firstTime(QXmlStreamReader &xml, QStringList &seen);

} // namespace RpmXml
