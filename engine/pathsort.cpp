#include "pathsort.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

// Below this many texts a group is sorted by comparing them whole.
constexpr size_t smallGroup = 16;

// The byte at depth, or -1 past the end: a text sorts before every longer one it begins.
int byteAt(std::string_view text, size_t depth)
{
    return depth < text.size() ? static_cast<unsigned char>(text[depth]) : -1;
}

void insertionSort(std::string_view *a, size_t n, size_t depth)
{
    for (size_t i = 1; i < n; ++i) {
        const std::string_view item = a[i];
        size_t j = i;
        for (; j > 0 && item.substr(depth) < a[j - 1].substr(depth); --j)
            a[j] = a[j - 1];
        a[j] = item;
    }
}

// a[0, n) share their first `depth` bytes. Splits them by the byte at depth into those
// below, equal to and above the pivot's; the equal ones go on at the next byte.
void sortFrom(std::string_view *a, size_t n, size_t depth)
{
    while (n > smallGroup) {
        int sample[3] = {byteAt(a[0], depth), byteAt(a[n / 2], depth), byteAt(a[n - 1], depth)};
        std::sort(sample, sample + 3);
        const int pivot = sample[1];
        size_t below = 0, i = 0, above = n;
        while (i < above) {
            const int c = byteAt(a[i], depth);
            if (c < pivot) {
                std::swap(a[below++], a[i++]);
            } else if (c > pivot) {
                std::swap(a[i], a[--above]);
            } else {
                ++i;
            }
        }
        sortFrom(a, below, depth);
        sortFrom(a + above, n - above, depth);
        if (pivot < 0) {
            return; // equal texts
        }
        a += below;
        n = above - below;
        ++depth;
    }
    insertionSort(a, n, depth);
}

} // namespace

void sortPaths(std::vector<std::string_view> &paths)
{
    sortFrom(paths.data(), paths.size(), 0);
}
