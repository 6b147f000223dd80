#include "searchstatement.h"

#include <catalogueschema.h>

// A package as the table shows it: name-ver-rel.arch.
#define QV_PKG_SHOWN_NAME QV_PKG_NAME " || '-' || " QV_PKG_VER " || '-' || " QV_PKG_REL " || '.' || " QV_PKG_ARCH

namespace SearchStatement {

const char *const packagePrefix =
    "SELECT " QV_PKG_ID " as '序号',  " QV_PKG_SHOWN_NAME " as '软件包名称' FROM " QV_PKG_TABLE " WHERE " QV_PKG_NAME " ";

const char *const packageCount = "SELECT count(*) FROM " QV_PKG_TABLE;

// The file-name rows' package columns, joined into name-ver-rel.arch by the reader (SQLite's
// "||" would allocate a string a row).
#define QV_PKG_ROW_COLUMNS QV_PKG_ID ", " QV_PKG_NAME ", " QV_PKG_VER ", " QV_PKG_REL ", " QV_PKG_ARCH

const char *const packageById = "SELECT " QV_PKG_ROW_COLUMNS " FROM " QV_PKG_TABLE " WHERE " QV_PKG_ID " = ?1";

const char *const packagesInRange = "SELECT " QV_PKG_ROW_COLUMNS " FROM " QV_PKG_TABLE " WHERE " QV_PKG_ID
                                    " BETWEEN ?1 AND ?2 ORDER BY " QV_PKG_ID;

QString likePattern(const QString &keyword)
{
    const QChar star('*');
    const QChar any('%');
    if (keyword.startsWith(star) && keyword.endsWith(star)) {
        return any + keyword.mid(1, keyword.length() - 2) + any;
    }
    if (keyword.startsWith(star)) {
        return any + keyword.mid(1);
    }
    if (keyword.endsWith(star)) {
        return keyword.left(keyword.length() - 1) + any;
    }
    return keyword;
}

QString literal(const QString &text)
{
    // SQLite reads the statement up to its first NUL, so a NUL is spliced in as char(0).
    // It reads an unpaired surrogate together with the character after it, which could be
    // an apostrophe, so an unpaired surrogate becomes U+FFFD.
    QString quoted(QLatin1Char('\''));
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'')) {
            quoted += QLatin1String("''");
        } else if (c.isNull()) {
            quoted += QLatin1String("' || char(0) || '");
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            quoted += c;
            quoted += text.at(++i);
        } else if (c.isSurrogate()) {
            quoted += QChar(QChar::ReplacementCharacter);
        } else {
            quoted += c;
        }
    }
    return quoted + QLatin1Char('\'');
}

QString likeClause(const QString &keyword)
{
    return QStringLiteral(" LIKE ") + literal(likePattern(keyword));
}

QString build(const QString &keyword)
{
    return QString::fromUtf8(packagePrefix) + likeClause(keyword);
}

} // namespace SearchStatement
