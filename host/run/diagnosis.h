// Why a component cannot be loaded or created: the DLLs that its import
// table names and that cannot be found, and whether kavlink.dll (which the
// component binds only at its first call) can be found beside it or on the
// search path.
#pragma once
#include <string>
#include <vector>

namespace kavhost {

// The DLL names in the import table of a PE file; empty with `error` set
// when the file cannot be read or is no PE image.
std::vector<std::string> importedDlls(const std::wstring& path, std::string& error);

// One sentence per missing DLL: "<file> imports <dll>, which is neither
// beside it nor on the search path".  Follows the imports of DLLs found
// beside the component, a few levels deep.
std::vector<std::string> missingImports(const std::wstring& path);

// "" when kavlink.dll lies beside the component or on the search path;
// otherwise a sentence that says where it was looked for.
std::string kavlinkProblem(const std::wstring& componentPath);

// Everything above, for a component that failed to load, be created or start.
std::vector<std::string> diagnoseComponent(const std::wstring& componentPath);

// The in-process server file registered for a class ("" when none).
std::wstring registeredServer(const std::wstring& clsidText);

}  // namespace kavhost
