// Every family test file declares the exports it covers with their argument
// sizes; the export table test checks the union against the built DLL.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kavtest {

struct ExportSpec {
    const char* name;
    uint32_t argBytes;           // bytes of arguments the callee removes
    bool returnsDouble = false;  // result in the x87 register
};

const std::vector<ExportSpec>& allExports();

struct ExportTable {
    ExportTable(std::initializer_list<ExportSpec> specs);
};

}  // namespace kavtest
