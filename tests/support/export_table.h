// Every export of kavlink.dll with its argument kinds and result kind, as the
// export table (api/kavlink.exports) lists them; the rows are generated from
// it at build time.  The export table test checks them against the built DLL
// (names, and the argument bytes each export removes); the robustness driver
// and the decoder test build arguments from the kinds.
//
// Argument kinds, one token per argument, separated by spaces:
//   i32 i16 u8        integer by value (one slot; only the low 16 / 8 bits count)
//   f64 i64           double / 64-bit integer by value (two slots)
//   ref:N             address of N bytes of the caller's memory (record,
//                     integer variable, fixed-size buffer), read and/or written
//   ref:N*@K          address of N x (argument K) bytes (point lists, subcodes;
//                     arguments count from 0)
//   ref:+1@K          address of (argument K) + 1 bytes
//   text              address of zero-terminated ANSI text
//   sshape            address of a StringShape whose text pointer names a text
//   sshape:256        ... whose text pointer names a 256-byte buffer
//   strvar            address of a BSTR variable (string variable)
//   bstr              a BSTR by value
//   arr:N             address of a SAFEARRAY* variable whose data holds N bytes
//   arr:N*@K          ... N x (argument K) bytes
//   names@K           address of (argument K) addresses of texts
// Result kinds: i32, i16, f64, i64, bstr (a new string the caller frees), void.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kavtest {

struct ExportSpec {
    const char* name;
    const char* args;    // argument kinds, as above ("" for none)
    const char* result;
    int line;            // the row's line in api/kavlink.exports

    std::vector<std::string> kinds() const;
    uint32_t argBytes() const;   // bytes of arguments the callee removes
    bool returnsDouble() const { return std::string(result) == "f64"; }
};

const std::vector<ExportSpec>& allExports();
const ExportSpec* findExport(const std::string& name);

}  // namespace kavtest
