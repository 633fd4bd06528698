#include "kavlink_loader.h"

#include <stdexcept>

extern "C" uint64_t kav_call_stdcall(const void* fn, const uint32_t* slots, uint32_t count, uint32_t* popped,
                                     double* fpResult);

namespace kavtest {

KavlinkLibrary::KavlinkLibrary() {
    module_.reset(::LoadLibraryA("kavlink.dll"));
    if (!module_) throw std::runtime_error("kavlink.dll did not load");
}

FARPROC KavlinkLibrary::proc(const char* name) const { return ::GetProcAddress(module_.get(), name); }

CallResult KavlinkLibrary::call(const char* name, const Slots& slots, bool wantDouble) const {
    FARPROC fn = proc(name);
    if (!fn) throw std::runtime_error(std::string("not exported: ") + name);
    return callStdcall(fn, slots, wantDouble);
}

CallResult callStdcall(FARPROC fn, const Slots& slots, bool wantDouble) {
    CallResult r;
    const uint64_t pair = kav_call_stdcall(reinterpret_cast<const void*>(fn), slots.v.data(),
                                           static_cast<uint32_t>(slots.v.size()), &r.popped,
                                           wantDouble ? &r.st0 : nullptr);
    r.eax = static_cast<uint32_t>(pair);
    r.edx = static_cast<uint32_t>(pair >> 32);
    return r;
}

std::vector<std::string> KavlinkLibrary::exportedNames() const {
    auto* base = reinterpret_cast<const uint8_t*>(module_.get());
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0) return names;
    auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* nameRvas = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

KavlinkLibrary& lib() {
    static KavlinkLibrary instance;
    return instance;
}

}  // namespace kavtest
