#pragma once

#include <string>
#include <vector>

class LineReader;

// Reads a dpkg info/<package>.list file. Such lists name the package's
// directories too; an entry counts as a directory when another entry of the
// same list lies beneath it, and is left out. The real file system is not
// consulted, so the result depends on the list alone.
class DpkgFileList
{
public:
    static std::vector<std::string> readFiles(LineReader &reader);
};
