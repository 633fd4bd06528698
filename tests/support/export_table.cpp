#include "export_table.h"

namespace kavtest {
namespace {
std::vector<ExportSpec>& registry() {
    static std::vector<ExportSpec> specs;
    return specs;
}
}  // namespace

const std::vector<ExportSpec>& allExports() { return registry(); }

ExportTable::ExportTable(std::initializer_list<ExportSpec> specs) {
    registry().insert(registry().end(), specs.begin(), specs.end());
}

}  // namespace kavtest
