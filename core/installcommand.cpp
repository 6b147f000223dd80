#include "installcommand.h"
#include "cataloguequery.h"
#include "installedpackages.h"

#include <catalogueschema.h>
#include <packagenamerule.h>

#include <QRegularExpression>
#include <QStringList>

namespace {
bool withinRule(const QString &name, bool rpm)
{
    const QByteArray bytes = name.toUtf8();
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    return rpm ? PackageNameRule::isRpmName(view) : PackageNameRule::isDebianName(view);
}
} // namespace

// The manager is the machine's; where it has none, the single command of the first
// package tells which kind the catalogue's packages are by their architecture.
InstallCommand InstallCommand::make(const InstalledPackages &machine,
                                    const QVector<std::pair<QString, QString>> &packages)
{
    InstallCommand command;
    if (packages.isEmpty()) {
        return command;
    }
    const bool rpm = machine.manager() == InstalledPackages::Manager::Rpm
                     || (machine.manager() == InstalledPackages::Manager::None
                         && machine.installCommand(packages.first().first, packages.first().second)
                                .startsWith(QLatin1String("sudo dnf")));
    static const QRegularExpression archRule(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_+.-]*$"));
    QStringList words;
    for (const auto &[name, arch] : packages) {
        const bool foreign = machine.isForeign(arch);
        const QString word = name + (foreign ? QLatin1Char(rpm ? '.' : ':') + arch : QString());
        if (!withinRule(name, rpm) || (foreign && !archRule.match(arch).hasMatch()) || words.contains(word)
            || words.size() == maxPackages) {
            ++command.leftOut;
            continue;
        }
        words << word;
    }
    command.packages = words.size();
    if (!words.isEmpty()) {
        // As the details window shows one package's command: the words after "--", and an
        // RPM name with "%{}" in single quotes, so that the shell takes each as it is.
        static const QRegularExpression plainWord(QStringLiteral("^[A-Za-z0-9.+_:-]+$"));
        for (QString &word : words) {
            if (!plainWord.match(word).hasMatch()) {
                word = QLatin1Char('\'') + word + QLatin1Char('\'');
            }
        }
        command.text = (rpm ? QStringLiteral("sudo dnf install -- ") : QStringLiteral("sudo apt install -- "))
                       + words.join(QLatin1Char(' '));
    }
    return command;
}

InstallCommand InstallCommand::read(sqlite3 *db, const QVector<qint64> &ids, const InstalledPackages &machine)
{
    const QString statement = QStringLiteral("SELECT " QV_PKG_NAME ", " QV_PKG_ARCH " FROM " QV_PKG_TABLE
                                             " WHERE " QV_PKG_ID " = ?1");
    QVector<std::pair<QString, QString>> packages;
    int missing = 0;
    for (const qint64 id : ids.mid(0, maxPackages + 1)) {
        CatalogueQuery query(db);
        if (!query.prepare(statement)) {
            InstallCommand failed;
            failed.error = query.lastError();
            return failed;
        }
        query.addBindValue(id);
        if (query.exec() && query.next()) {
            packages.append({query.value(0).toString(), query.value(1).toString()});
        } else {
            ++missing;
        }
    }
    InstallCommand command = make(machine, packages);
    command.leftOut += missing + qMax(0, ids.size() - (maxPackages + 1));
    return command;
}
