#include "export_table.h"

#include <sstream>

namespace kavtest {

std::vector<std::string> ExportSpec::kinds() const {
    std::vector<std::string> out;
    std::istringstream in(args);
    for (std::string k; in >> k;) out.push_back(k);
    return out;
}

uint32_t ExportSpec::argBytes() const {
    uint32_t bytes = 0;
    for (const std::string& k : kinds()) bytes += (k == "f64" || k == "i64") ? 8 : 4;
    return bytes;
}

const ExportSpec* findExport(const std::string& name) {
    for (const ExportSpec& e : allExports())
        if (name == e.name) return &e;
    return nullptr;
}

}  // namespace kavtest
