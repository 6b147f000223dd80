#ifndef NAMETEXTS_H
#define NAMETEXTS_H

// The texts of the names a search matched, kept as the scan decodes them, so that the
// paths asked for afterwards ("the first matching path" of each row shown) need no name
// block read again: a package's matching names lie in as many blocks as it has files.
// Up to a bound; a name beyond it is read from its block as before.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class NameTexts
{
public:
    // Names must come in ascending id order; once the bound is reached no more are kept.
    void add(uint32_t id, std::string_view text)
    {
        if (bytes.size() + text.size() > maxBytes || (!ids.empty() && id <= ids.back())) {
            refused = true;
            return;
        }
        ids.push_back(id);
        bytes.append(text);
        ends.push_back(uint32_t(bytes.size()));
    }
    // Appends what another set holds, whose names all come after this one's.
    void append(const NameTexts &other)
    {
        for (size_t i = 0; i < other.ids.size(); ++i)
            add(other.ids[i], other.text(i));
    }
    // A name was refused: the bound is reached.
    bool full() const { return refused; }
    bool find(uint32_t id, std::string_view &text) const
    {
        const auto it = std::lower_bound(ids.begin(), ids.end(), id);
        if (it == ids.end() || *it != id) {
            return false;
        }
        text = this->text(size_t(it - ids.begin()));
        return true;
    }
    void clear()
    {
        ids.clear();
        ends.clear();
        bytes.clear();
        refused = false;
    }

private:
    static constexpr size_t maxBytes = size_t(4) << 20;

    std::string_view text(size_t i) const
    {
        const uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }

    std::vector<uint32_t> ids;
    std::vector<uint32_t> ends;
    std::string bytes;
    bool refused = false;
};

#endif // NAMETEXTS_H
