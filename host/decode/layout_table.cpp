#include "decode/layout_table.h"

#include <algorithm>

namespace kavhost {
namespace {

// The table's rows sorted by name and by code (rows of one code in table
// order), made once: a request is looked up in a few comparisons, not along
// the whole table.
struct Index {
    std::vector<const ExportLayout*> byName, byCode;
    Index() {
        for (const ExportLayout& e : kavtable::kExports) byName.push_back(&e);
        byCode = byName;
        std::sort(byName.begin(), byName.end(),
                  [](const ExportLayout* a, const ExportLayout* b) { return std::string_view(a->name) < b->name; });
        std::stable_sort(byCode.begin(), byCode.end(), [](const ExportLayout* a, const ExportLayout* b) { return a->code < b->code; });
    }
};

const Index& index() {
    static const Index i;
    return i;
}

}  // namespace

std::span<const ExportLayout> exportLayouts() { return kavtable::kExports; }

const ExportLayout* findLayout(std::string_view name) {
    const std::vector<const ExportLayout*>& rows = index().byName;
    const auto at = std::lower_bound(rows.begin(), rows.end(), name,
                                     [](const ExportLayout* e, std::string_view n) { return std::string_view(e->name) < n; });
    return at != rows.end() && name == (*at)->name ? *at : nullptr;
}

std::span<const ExportLayout* const> layoutsWithCode(uint32_t code) {
    if (code == 0) return {};
    const std::vector<const ExportLayout*>& rows = index().byCode;
    const auto [from, to] = std::equal_range(rows.begin(), rows.end(), code, [](auto a, auto b) {
        if constexpr (std::is_same_v<decltype(a), uint32_t>) return a < b->code;
        else return a->code < b;
    });
    return {from, to};
}

}  // namespace kavhost
