#include "decode/layout_table.h"

namespace kavhost {

std::span<const ExportLayout> exportLayouts() { return kavtable::kExports; }

const ExportLayout* findLayout(const std::string& name) { return kavtable::findExport(name); }

std::vector<const ExportLayout*> layoutsForCode(uint32_t code) {
    std::vector<const ExportLayout*> out;
    if (code == 0) return out;
    for (const ExportLayout& e : kavtable::kExports)
        if (e.code == code) out.push_back(&e);
    return out;
}

}  // namespace kavhost
