#ifndef PACKAGENAMERULE_H
#define PACKAGENAMERULE_H

// The package managers' own rules for a package's name. A name from a list is text that
// any repository chooses; the builder keeps only names its package manager could install,
// and the finder offers an install command only for such a name, so that nothing a
// repository writes can become a shell word or an option of apt or dnf.

#include <string_view>

namespace PackageNameRule {

// Debian policy: lower-case letters, digits, '+', '-' and '.', at least two characters,
// starting with a letter or a digit.
bool isDebianName(std::string_view name);

// rpm's rule for a Name tag: ASCII letters, digits and ". - _ + % { }", starting with a
// letter, a digit or one of "_ % { }", without "..".
bool isRpmName(std::string_view name);

} // namespace PackageNameRule

#endif // PACKAGENAMERULE_H
