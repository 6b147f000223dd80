#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The (package, directory, name) links of the file lists, as they are read: one
// package's file is one link, and the same link may come more than once. They are
// kept in runs of a fixed length; with spillTo(), every full run goes to an unnamed
// temporary file, so that the links of a whole distribution (7.4 million for Debian
// bookworm, 88 MB) cost one run of memory. Once every link is in and the directories
// and names have their catalogue ids, the links are renumbered to those ids and gone
// through in the order each table needs: each run is sorted on its own, then the runs
// are merged, each distinct link once.
class LinkStore
{
public:
    struct Link
    {
        uint32_t pkg;
        uint32_t dir;
        uint32_t name;
        bool operator==(const Link &o) const { return pkg == o.pkg && dir == o.dir && name == o.name; }
    };
    enum class Order {
        None,
        ByName,    // by name, then package, then directory: the name blocks' links
        ByPackage, // by package, then directory, then name: each package's files
    };
    using LinkFn = std::function<void(const Link &link)>;

    explicit LinkStore(size_t runLength = size_t(1) << 20);
    ~LinkStore();
    LinkStore(const LinkStore &) = delete;
    LinkStore &operator=(const LinkStore &) = delete;

    // Keeps full runs in a temporary file in `folder`, unlinked at once, so that it
    // goes away with the process however that ends.
    void spillTo(const std::string &folder);

    void add(const Link &link)
    {
        m_current.push_back(link);
        if (m_current.size() == m_runLength) {
            endRun();
        }
    }

    // Replaces every directory id d by dirIds[d] and every name id n by nameIds[n].
    void renumber(const std::vector<uint32_t> &dirIds, const std::vector<uint32_t> &nameIds);

    // Calls fn for each distinct link, in that order.
    void forEach(Order order, const LinkFn &fn);

    // The number of distinct links, once forEach() has gone through them.
    uint64_t distinct() const { return m_distinct; }

    // Frees every link (and the file).
    void clear();

private:
    struct Run
    {
        uint64_t offset = 0;     // in the file
        size_t size = 0;
        std::vector<Link> links; // when not in the file
    };
    class Reader;

    void endRun();
    void readAt(uint64_t offset, void *data, size_t size) const;
    void writeAt(uint64_t offset, const void *data, size_t size);
    void load(const Run &run, std::vector<Link> &links) const;
    void store(Run &run, std::vector<Link> &links);
    template<typename Change>
    void rewriteRuns(Change &&change);

    size_t m_runLength;
    int m_fd = -1;
    uint64_t m_fileSize = 0;
    std::vector<Run> m_runs;
    std::vector<Link> m_current;
    Order m_order = Order::None;
    uint64_t m_distinct = 0;
};
