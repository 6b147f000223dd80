#include "shellcatalogue.h"

#include <catalogueopening.h>
#include <cataloguelocator.h>
#include <cataloguequery.h>
#include <catalogueschema.h>
#include <packageinfo.h>
#include <packagesearch.h>

#include <QFileInfo>

#include <limits>

namespace {

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

QString qt(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

} // namespace

std::string ShellCatalogue::locate()
{
    return utf8(CatalogueLocator::standard().find());
}

std::vector<std::string> ShellCatalogue::places()
{
    std::vector<std::string> all;
    for (const QString &place : CatalogueLocator::standard().places()) {
        all.push_back(utf8(place));
    }
    return all;
}

std::string ShellCatalogue::rebuildCommand(const std::string &path)
{
    return utf8(CatalogueLocator::standard().rebuildCommand(qt(path)));
}

ShellCatalogue::ShellCatalogue(const std::string &path)
{
    const QString file = qt(path);
    if (!QFileInfo::exists(file)) {
        throw CatalogueUnreadable("没有找到软件包目录 " + path);
    }
    const CatalogueOpening opening = CatalogueOpening::inspect(file);
    if (!opening.problem.isEmpty()) {
        throw CatalogueUnreadable(path + "：" + utf8(opening.problem));
    }
    if (!connection.open(file, opening.databaseName,
                         opening.connectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")))) {
        throw CatalogueUnreadable(path + "：" + utf8(connection.error().text()));
    }
    const CatalogueFeatures features = connection.features();
    if (features.error.isValid()) {
        throw CatalogueUnreadable(path + "：" + utf8(features.error.text()));
    }
    if (!features.refusal.isEmpty()) {
        throw CatalogueUnreadable(path + "：" + utf8(features.refusal));
    }
    if (!features.fileLists) {
        throw CatalogueUnreadable(path + "：" + (features.olderKind ? "这个软件包目录是旧格式或另一种格式的，不含可读的文件列表。"
                                                                  : "这个软件包目录不含文件列表。"));
    }
}

PackageRow ShellCatalogue::package(uint32_t id) const
{
    PackageInfo info;
    CatalogueError error;
    if (!PackageInfo::read(handle(), id, info, &error) || !info.found) {
        throw CatalogueUnreadable(error.isValid() ? utf8(error.text())
                                                  : "软件包目录已损坏：没有序号为 " + std::to_string(id) + " 的软件包");
    }
    return {id, utf8(info.name), utf8(info.ver), utf8(info.rel), utf8(info.arch), utf8(info.version),
            utf8(info.summary), utf8(info.section)};
}

std::vector<PackageRow> ShellCatalogue::packagesOf(const std::vector<uint32_t> &ids) const
{
    std::vector<PackageRow> rows;
    for (const uint32_t id : ids) {
        rows.push_back(package(id));
    }
    return rows;
}

std::vector<PackageRow> ShellCatalogue::packagesNamed(const std::string &name, const std::string &arch) const
{
    CatalogueQuery query(handle());
    query.prepare(arch.empty() ? "SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE " WHERE " QV_PKG_NAME " = ? ORDER BY " QV_PKG_ID
                               : "SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE " WHERE " QV_PKG_NAME " = ? AND " QV_PKG_ARCH
                                 " = ? ORDER BY " QV_PKG_ID);
    query.addBindValue(qt(name));
    if (!arch.empty()) {
        query.addBindValue(qt(arch));
    }
    std::vector<uint32_t> ids;
    if (!query.exec()) {
        throw CatalogueUnreadable(utf8(query.lastError().text()));
    }
    while (query.next()) {
        ids.push_back(uint32_t(query.value(0).toLongLong()));
    }
    if (query.lastError().isValid()) {
        throw CatalogueUnreadable(utf8(query.lastError().text()));
    }
    return packagesOf(ids);
}

std::vector<PackageRow> ShellCatalogue::searchNames(const std::string &keyword) const
{
    PackageSearch search(handle(), qt(keyword));
    if (search.run(std::numeric_limits<int>::max(), std::numeric_limits<qint64>::max()) != PackageSearch::Result::Rows) {
        throw CatalogueUnreadable(utf8(search.error().text()));
    }
    const QVector<QVariant> &cells = search.cells();
    const int columns = search.titles().size();
    std::vector<uint32_t> ids;
    for (int at = 0; columns > 0 && at + columns <= cells.size(); at += columns) {
        ids.push_back(uint32_t(cells.at(at).toLongLong()));
    }
    return packagesOf(ids);
}
