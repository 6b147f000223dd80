#include "searchstatement.h"

namespace SearchStatement {

const char *const packagePrefix =
    "SELECT id as '序号',  name || '-' || ver || '-' || rel || '.' || arch as '软件包名称' "
    "FROM qv_pkg_list_t WHERE name ";

QString likeClause(const QString &keyword)
{
    const QChar star('*');
    QString body = keyword;
    QString pattern;
    if (body.startsWith(star) && body.endsWith(star)) {
        body = body.mid(1, body.length() - 2);
        pattern = QStringLiteral(" LIKE '%%1%'");
    } else if (body.startsWith(star)) {
        body = body.mid(1);
        pattern = QStringLiteral(" LIKE '%%1'");
    } else if (body.endsWith(star)) {
        body.chop(1);
        pattern = QStringLiteral(" LIKE '%1%'");
    } else {
        pattern = QStringLiteral(" LIKE '%1'");
    }
    body.replace(QLatin1Char('\''), QLatin1String("''"));
    return pattern.arg(body);
}

QString build(const QString &keyword, SearchMode mode)
{
    QString statement;
    if (mode == SearchMode::PackageName)
        statement = QString::fromUtf8(packagePrefix);
    return statement + likeClause(keyword);
}

} // namespace SearchStatement
