#include "catalogueopening.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// SQLite's lock bytes: a writer holds RESERVED (PENDING + 1) from its first change on.
const off_t reservedByte = 0x40000000 + 1;

QString tr(const char *text)
{
    return QCoreApplication::translate("CatalogueOpening", text);
}

bool nonEmptyFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

// A journal whose first byte is zero has been reset and rolls nothing back.
bool journalHasContent(const QString &path)
{
    QFile journal(path);
    char first = 0;
    return journal.open(QIODevice::ReadOnly) && journal.getChar(&first) && first != 0;
}

// Whether another connection, in this process or any other, holds the RESERVED lock.
// An open-file-description lock query sees the POSIX locks SQLite takes, this
// process's own connections' included.
bool writerAtWork(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = reservedByte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

QString sqliteCommand(const QString &path)
{
    return QStringLiteral("sqlite3 '%1' 'PRAGMA journal_mode=DELETE'").arg(QDir::toNativeSeparators(path));
}

} // namespace

CatalogueOpening CatalogueOpening::inspect(const QString &path)
{
    CatalogueOpening opening;
    opening.databaseName = path;
    struct stat st = {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return opening;
    }
    if (!S_ISREG(st.st_mode)) {
        opening.problem = tr("它不是普通文件（可能是命名管道、设备或套接字），无法作为软件包目录读取。"
                             "请把 quorvi-catalog 生成的软件包目录文件放在这里。");
        return opening;
    }
    // Non-blocking, in case the file was swapped for a FIFO since the stat.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return opening; // SQLite reports why
    }
    unsigned char header[100] = {};
    const bool isDatabase = ::read(fd, header, sizeof header) == ssize_t(sizeof header)
                            && memcmp(header, "SQLite format 3", 16) == 0;
    const bool writing = isDatabase && writerAtWork(fd);
    ::close(fd);
    if (!isDatabase) {
        return opening;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (header[18] == 2 || header[19] == 2) {
        if (nonEmptyFile(path + QStringLiteral("-wal"))) {
            opening.problem = tr("它处于预写日志（WAL）模式，且 %1 中还有未写回的改动；查找器只读，"
                                 "不会在软件包目录旁创建文件，因此无法读取。请用 quorvi-catalog 重新生成，"
                                 "或由能写这个文件夹的用户执行：%2")
                                  .arg(QDir::toNativeSeparators(absolute + QStringLiteral("-wal")),
                                       sqliteCommand(absolute));
            return opening;
        }
        QUrl url = QUrl::fromLocalFile(absolute);
        url.setQuery(QStringLiteral("immutable=1"));
        opening.databaseName = url.toString(QUrl::FullyEncoded);
        opening.uri = true;
        return opening;
    }
    const QString journal = path + QStringLiteral("-journal");
    if (!writing && nonEmptyFile(journal) && journalHasContent(journal)) {
        opening.problem = tr("它旁边有中断的写入留下的日志 %1，读取前须把它恢复进软件包目录，"
                             "而查找器只读，不会修改文件。请用 quorvi-catalog 重新生成，"
                             "或由能写这个文件夹的用户执行：%2")
                              .arg(QDir::toNativeSeparators(absolute + QStringLiteral("-journal")),
                                   sqliteCommand(absolute));
    }
    return opening;
}

QString CatalogueOpening::connectOptions(const QString &base) const
{
    if (!uri) {
        return base;
    }
    return base + (base.isEmpty() || base.endsWith(QLatin1Char(';')) ? QString() : QStringLiteral(";"))
           + QStringLiteral("QSQLITE_OPEN_URI");
}
