#include "export_table.h"

#include <sstream>

namespace kavtest {
namespace {
std::vector<ExportSpec>& registry() {
    static std::vector<ExportSpec> specs;
    return specs;
}
}  // namespace

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

const std::vector<ExportSpec>& allExports() { return registry(); }

const ExportSpec* findExport(const std::string& name) {
    for (const ExportSpec& e : registry())
        if (name == e.name) return &e;
    return nullptr;
}

ExportTable::ExportTable(std::initializer_list<ExportSpec> specs) {
    registry().insert(registry().end(), specs.begin(), specs.end());
}

}  // namespace kavtest
