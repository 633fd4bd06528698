#include "process_runner.h"

#include "kav/handles.h"


namespace kavtest {
namespace {

// A temporary file that the child writes into and that goes away when closed.
kav::UniqueFileHandle captureFile() {
    wchar_t base[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    GetTempFileNameW(base, L"kpr", 0, name);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return kav::UniqueFileHandle(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string readBack(const kav::UniqueFileHandle& f) {
    std::string s;
    if (!f) return s;
    SetFilePointer(f.get(), 0, nullptr, FILE_BEGIN);
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) s.append(buf, got);
    return s;
}

// Waits for the child while dispatching this thread's messages (a child
// may send to a window of the test).
bool waitFor(HANDLE process, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        if (MsgWaitForMultipleObjects(1, &process, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT) == WAIT_OBJECT_0)
            return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::wstring fromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

}  // namespace

std::string programFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

ProcessRun runCommandLine(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs) {
    ProcessRun r;
    kav::UniqueFileHandle out = captureFile(), err = captureFile();
    if (!out || !err) {
        r.err = "cannot create the capture files";
        return r;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;  // CreateProcessW may write into it
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        r.err = "cannot start the child process (error " + std::to_string(GetLastError()) + ")";
        return r;
    }
    kav::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    r.started = true;
    r.finished = waitFor(process.get(), timeoutMs);
    if (!r.finished) {
        TerminateProcess(process.get(), 0xDEAD);  // our own child, hung
        WaitForSingleObject(process.get(), 10000);
    }
    GetExitCodeProcess(process.get(), &r.exit);
    r.out = readBack(out);
    r.err = readBack(err);
    return r;
}

ProcessRun runProcess(const std::string& program, const std::string& args, const std::string& folder, DWORD timeoutMs) {
    ProcessRun r = runCommandLine(fromAnsi("\"" + program + "\" " + args), fromAnsi(folder), timeoutMs);
    if (!r.started) r.err += ": " + program;
    return r;
}

ProcessRun runKavhost(const std::string& args, const std::string& folder, DWORD timeoutMs) {
    return runProcess(programFolder() + "kavhost.exe", args, folder, timeoutMs);
}

}  // namespace kavtest
