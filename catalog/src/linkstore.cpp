#include "linkstore.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <queue>
#include <stdexcept>

namespace {
using Link = LinkStore::Link;

bool byName(const Link &a, const Link &b)
{
    if (a.name != b.name) {
        return a.name < b.name;
    }
    return a.pkg != b.pkg ? a.pkg < b.pkg : a.dir < b.dir;
}

bool byPackage(const Link &a, const Link &b)
{
    if (a.pkg != b.pkg) {
        return a.pkg < b.pkg;
    }
    return a.dir != b.dir ? a.dir < b.dir : a.name < b.name;
}

[[noreturn]] void fail(const char *what)
{
    throw std::runtime_error(std::string("temporary file of file links: ") + what + ": " + std::strerror(errno));
}

// Links read from a file run at a time, so that merging many runs costs little memory.
constexpr size_t kReadAhead = size_t(1) << 15;
} // namespace

// Reads one sorted run, from memory or from the file.
class LinkStore::Reader
{
public:
    Reader(const LinkStore &store, const Run &run) : m_store(store), m_run(run) { refill(); }
    bool atEnd() const { return m_next == m_end; }
    const Link &head() const { return *m_next; }
    void pop()
    {
        if (++m_next == m_end) {
            refill();
        }
    }

private:
    void refill()
    {
        if (!m_run.links.empty()) {
            m_next = m_run.links.data() + m_read;
            m_end = m_run.links.data() + m_run.size;
            m_read = m_run.size;
            return;
        }
        const size_t count = std::min(kReadAhead, m_run.size - m_read);
        m_buffer.resize(count);
        m_store.readAt(m_run.offset + m_read * sizeof(Link), m_buffer.data(), count * sizeof(Link));
        m_read += count;
        m_next = m_buffer.data();
        m_end = m_buffer.data() + count;
    }

    const LinkStore &m_store;
    const Run &m_run;
    std::vector<Link> m_buffer;
    size_t m_read = 0;
    const Link *m_next = nullptr;
    const Link *m_end = nullptr;
};

LinkStore::LinkStore(size_t runLength) : m_runLength(std::max<size_t>(runLength, 1)) {}

LinkStore::~LinkStore()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void LinkStore::spillTo(const std::string &folder)
{
    std::string name = (folder.empty() ? std::string(".") : folder) + "/.quorvi-links-XXXXXX";
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) {
        fail(name.c_str());
    }
    ::unlink(name.c_str());
}

void LinkStore::endRun()
{
    if (m_current.empty()) {
        return;
    }
    m_runs.emplace_back();
    store(m_runs.back(), m_current);
    m_current.clear();
    m_order = Order::None;
}

void LinkStore::readAt(uint64_t offset, void *data, size_t size) const
{
    auto *bytes = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::pread(m_fd, bytes, size, off_t(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = EIO;
            }
            fail("read");
        }
        bytes += got;
        offset += uint64_t(got);
        size -= size_t(got);
    }
}

void LinkStore::writeAt(uint64_t offset, const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t put = ::pwrite(m_fd, bytes, size, off_t(offset));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0) {
            fail("write");
        }
        bytes += put;
        offset += uint64_t(put);
        size -= size_t(put);
    }
}

void LinkStore::load(const Run &run, std::vector<Link> &links) const
{
    links.resize(run.size);
    readAt(run.offset, links.data(), run.size * sizeof(Link));
}

// A run keeps its place in the file when it is written again.
void LinkStore::store(Run &run, std::vector<Link> &links)
{
    if (m_fd < 0) {
        run.size = links.size();
        run.links.swap(links);
        return;
    }
    if (run.size == 0) {
        run.offset = m_fileSize;
        run.size = links.size();
        m_fileSize += run.size * sizeof(Link);
    }
    writeAt(run.offset, links.data(), run.size * sizeof(Link));
}

// Changes each run in place; a run in the file is loaded and stored again, one run in
// memory at a time.
template<typename Change>
void LinkStore::rewriteRuns(Change &&change)
{
    endRun();
    std::vector<Link> links;
    for (Run &run : m_runs) {
        if (m_fd < 0) {
            change(run.links);
            continue;
        }
        load(run, links);
        change(links);
        store(run, links);
    }
}

void LinkStore::renumber(const std::vector<uint32_t> &dirIds, const std::vector<uint32_t> &nameIds)
{
    rewriteRuns([&](std::vector<Link> &links) {
        for (Link &link : links) {
            link.dir = dirIds[link.dir];
            link.name = nameIds[link.name];
        }
    });
    m_order = Order::None;
}

void LinkStore::forEach(Order order, const LinkFn &fn)
{
    const auto less = order == Order::ByName ? byName : byPackage;
    if (m_order != order || !m_current.empty()) {
        rewriteRuns([less](std::vector<Link> &links) { std::sort(links.begin(), links.end(), less); });
        m_order = order;
    }
    // The heads of the runs, smallest first.
    std::vector<Reader> readers;
    readers.reserve(m_runs.size());
    for (const Run &run : m_runs)
        readers.emplace_back(*this, run);
    const auto later = [&readers, less](size_t a, size_t b) { return less(readers[b].head(), readers[a].head()); };
    std::priority_queue<size_t, std::vector<size_t>, decltype(later)> heads(later);
    for (size_t i = 0; i < readers.size(); ++i) {
        if (!readers[i].atEnd()) {
            heads.push(i);
        }
    }
    uint64_t distinct = 0;
    Link last{};
    while (!heads.empty()) {
        const size_t i = heads.top();
        heads.pop();
        const Link link = readers[i].head();
        if (distinct == 0 || !(link == last)) {
            ++distinct;
            fn(link);
            last = link;
        }
        readers[i].pop();
        if (!readers[i].atEnd()) {
            heads.push(i);
        }
    }
    m_distinct = distinct;
}

void LinkStore::clear()
{
    std::vector<Run>().swap(m_runs);
    std::vector<Link>().swap(m_current);
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_fileSize = 0;
    m_order = Order::None;
}
