// Prints, for one run on one machine, the cost of kavlink requests as ratios
// against the bare SendMessageA that any request needs anyway:
//   name: ratio R goal G
// Each figure times its two loops in alternating rounds and takes each loop's
// fastest round, so that a busy moment of the machine hits both alike.
#include "file_deletion.h"
#include "import_patch.h"
#include "kav/handles.h"
#include "kav/protocol.h"
#include "temp_folder.h"
#include "kavlink.h"
#include "kavlink_loader.h"

#include "model/audit.h"
#include "model/model.h"
#include "model/profile.h"
#include "run/host.h"

#include <windows.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kavtest;

namespace {

bool g_smoke = false;

LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kav::kRequestMessage) return 1;  // answer without touching the payload, like the baseline
    return ::DefWindowProcW(w, m, wp, lp);
}

double seconds(const std::function<void()>& body, int iterations) {
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < iterations; ++i) body();
    ::QueryPerformanceCounter(&b);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// Fastest of several alternating rounds of each loop; returns library/baseline.
double ratio(const std::function<void()>& library, const std::function<void()>& baseline) {
    const int iterations = g_smoke ? 200 : 20000;
    const int rounds = g_smoke ? 2 : 9;
    double bestLib = 1e30, bestBase = 1e30;
    for (int r = 0; r < rounds; ++r) {
        bestBase = std::min(bestBase, seconds(baseline, iterations));
        bestLib = std::min(bestLib, seconds(library, iterations));
    }
    return bestLib / bestBase;
}

int g_missing = 0;
void report(const char* name, double value, double goal) {
    std::printf("%s: ratio %.2f goal %.2f\n", name, value, goal);
}

template <class Fn>
Fn* bind(const char* name) {
    auto* f = reinterpret_cast<Fn*>(lib().proc(name));
    if (!f) {
        std::printf("%s: not exported\n", name);
        ++g_missing;
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) g_smoke |= std::string(argv[i]) == "--smoke";

    WNDCLASSW wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KavBenchHost";
    ::RegisterClassW(&wc);
    const kav::UniqueWindow hostWindow(
        ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
    const HWND host = hostWindow.get();
    auto init = bind<void __stdcall(HWND, int32_t)>("InitVBCmdLib");
    if (!host || !init) return 2;
    init(host, 0);

    const kav::UniqueMappingHandle mapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, kav::kBlockName));
    const kav::UniqueView view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, kav::kBlockSize) : nullptr);
    if (!view) return 2;
    auto* const block = static_cast<uint8_t*>(view.get());
    static uint8_t scratch[8696];

    volatile uint32_t sink = 0;
    auto bare = [&] { sink = sink + static_cast<uint32_t>(::SendMessageA(host, kav::kRequestMessage, 1600, 0)); };

    if (auto f = bind<int32_t __stdcall()>("VokAssignMark"))
        report("no payload (VokAssignMark)", ratio([&] { sink = sink + f(); }, bare), 1.10);

    if (auto f = bind<int32_t __stdcall(int32_t, PointShape*)>("VokGetPointShape")) {
        PointShape p{1, 2};
        report("16-byte record in-out (VokGetPointShape)", ratio([&] { sink = sink + f(5, &p); }, bare), 1.10);
    }

    if (auto f = bind<int32_t __stdcall(const char*)>("VokCommandGuide")) {
        const char* text = "Pick the first point of the line";
        report("text (VokCommandGuide)", ratio([&] { sink = sink + f(text); }, bare), 1.10);
    }

    {
        // The same small request through a second copy of the library that
        // records: its switch is read at its first call, while KAVLINK_RECORD
        // names a folder; this copy read its own (off) at InitVBCmdLib above.
        const TempFolder temp(L"kavbench");  // a fresh folder: only this run's files count
        const std::wstring folder = temp.path();
        const std::wstring copy = temp.file(L"kavlink_recording.dll");
        wchar_t original[MAX_PATH] = {};
        ::GetModuleFileNameW(lib().module(), original, MAX_PATH);
        ::CopyFileW(original, copy.c_str(), FALSE);
        kav::UniqueLibrary recording(::LoadLibraryW(copy.c_str()));
        auto off = bind<int32_t __stdcall(const char*)>("VokCommandGuide");
        using InitFn = void __stdcall(HWND, int32_t);
        using GuideFn = int32_t __stdcall(const char*);
        auto recInit = recording ? reinterpret_cast<InitFn*>(::GetProcAddress(recording.get(), "InitVBCmdLib")) : nullptr;
        auto on = recording ? reinterpret_cast<GuideFn*>(::GetProcAddress(recording.get(), "VokCommandGuide")) : nullptr;
        if (recInit && on && off) {
            ::SetEnvironmentVariableW(L"KAVLINK_RECORD", folder.c_str());
            recInit(host, 0);
            ::SetEnvironmentVariableW(L"KAVLINK_RECORD", nullptr);
            const char* text = "Pick the first point of the line";
            report("recording on vs off (VokCommandGuide)", ratio([&] { sink = sink + on(text); }, [&] { sink = sink + off(text); }),
                   3.0);
        } else {
            std::printf("recording on vs off: no recording copy of kavlink.dll\n");
            ++g_missing;
        }
        recording.reset();  // unloaded: the copy's last lines reach its run file
        WIN32_FIND_DATAW found;
        uint64_t recorded = 0;
        if (const kav::UniqueFind find(::FindFirstFileW((folder + L"\\kavlink-*").c_str(), &found)); find) {
            do recorded += found.nFileSizeLow;
            while (::FindNextFileW(find.get(), &found));
        }
        if (on && recorded == 0) {
            std::printf("  the recording copy wrote no run file\n");
            ++g_missing;
        }
        init(host, 0);  // the block names this window again
    }

    {
        // kavhost answering in this thread, as a command's run has it: the
        // model and the audit on, the readable log off (--quiet).  The
        // command-like loop asks for the distance of two points it moves.
        auto dist = bind<double __stdcall(const PointShape*, const PointShape*)>("VokCalDist2P");
        std::optional<kavhost::model::Profile> profile;
        try {
            profile = kavhost::model::Profile::fromFile(kavhost::model::defaultProfilePath());
        } catch (const std::exception& e) {
            std::printf("kavhost: no host profile (%s)\n", e.what());
            ++g_missing;
        }
        const TempFolder temp(L"kavbench-host");
        auto figure = [&](const char* name, bool withModel, bool recording, double goal) {
            if (!dist || !profile) return;
            kavhost::model::Model model(*profile);
            kavhost::model::Audit audit(profile->values().none);
            kavhost::HostOptions options;
            options.model = withModel ? &model : nullptr;
            options.audit = &audit;
            options.keepRequests = false;  // as kavhost runs without --picture
            const std::unique_ptr<FILE, int (*)(FILE*)> record(
                recording ? _wfopen(temp.file(L"bench.kavrec").c_str(), L"wb") : nullptr, &std::fclose);
            options.record = record.get();
            kavhost::Host kavhost(kavhost::Script{}, options);
            init(kavhost.window(), 0);
            PointShape a{0, 0}, b{3, 4};
            volatile double last = 0;
            report(name, ratio([&] {
                       b.x += 1;
                       last = dist(&a, &b);
                   }, bare), goal);
            if (withModel && std::fabs(last - std::hypot(b.x, b.y)) > 1e-9 * std::hypot(b.x, b.y)) {
                std::printf("  %s: the model answered %g for a distance of %g\n", name, static_cast<double>(last),
                            std::hypot(b.x, b.y));
                ++g_missing;
            }
            if (withModel && !audit.clean()) {
                std::printf("  %s: the audit lists %s", name, audit.listing().c_str());
                ++g_missing;
            }
            init(host, 0);  // the block names the bench's window again
        };
        figure("kavhost quiet (VokCalDist2P)", true, false, 3.00);
        figure("kavhost recording (VokCalDist2P)", true, true, 10.00);
        figure("kavhost quiet, --no-model, default answer (VokCalDist2P)", false, false, 3.00);
    }

    using BigFn = int32_t __stdcall(BSplineHeader*, BSplineValues*, BSplinePoints*, BSplineValues*, BSplineHeader*,
                                    BSplineValues*, BSplinePoints*, BSplineValues*, SAFEARRAY**);
    if (auto f = bind<BigFn>("VokCalIntOfBSplineBSplineIF")) {
        static BSplineHeader ha, hb;
        static BSplineValues va1, va2, vb1, vb2;
        static BSplinePoints pa, pb;
        kav::UniqueSafeArray result(::SafeArrayCreateVector(VT_R8, 0, 200));
        SAFEARRAY* out = result.get();
        auto baseline = [&] {
            std::memcpy(block + kav::kHandleSize, scratch, sizeof scratch);
            sink = sink + static_cast<uint32_t>(::SendMessageA(host, kav::kRequestMessage, 2075, 0));
            std::memcpy(scratch, block + kav::kHandleSize, sizeof scratch);
        };
        report("largest request, 8,696 bytes each way (VokCalIntOfBSplineBSplineIF)",
               ratio([&] { sink = sink + f(&ha, &va1, &pa, &va2, &hb, &vb1, &pb, &vb2, &out); }, baseline), 1.10);
    }

    {
        // Heap allocations per call over a mix of request shapes.
        AllocationCounter counter(lib().module());
        AllocationCounter::reset();
        int calls = 0;
        PointShape p{};
        auto mark = bind<int32_t __stdcall()>("VokAssignMark");
        auto shape = reinterpret_cast<int32_t(__stdcall*)(int32_t, PointShape*)>(lib().proc("VokGetPointShape"));
        auto guide = reinterpret_cast<int32_t(__stdcall*)(const char*)>(lib().proc("VokCommandGuide"));
        for (int i = 0; i < 1000; ++i) {
            if (mark) { mark(); ++calls; }
            if (shape) { shape(1, &p); ++calls; }
            if (guide) { guide("x"); ++calls; }
        }
        std::printf("request path heap allocations per call: allocations %u goal 0\n",
                    calls ? AllocationCounter::heap() / static_cast<unsigned>(calls) : 0u);
        if (AllocationCounter::heap() != 0) std::printf("  (%u allocations in %d calls)\n", AllocationCounter::heap(), calls);
    }

    {
        // csbclean's deletion pass over a folder of files against a bare
        // DeleteFileA loop over the same names.
        const int files = g_smoke ? 200 : 10000;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"kavbench-csb";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        std::vector<std::string> names;
        char folderA[MAX_PATH];
        ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, folderA, MAX_PATH, nullptr, nullptr);
        for (int i = 0; i < files; ++i) names.push_back(std::string(folderA) + "\\history" + std::to_string(i) + ".csb");
        auto fill = [&] {
            for (const std::string& n : names) {
                kav::UniqueFileHandle(
                    ::CreateFileA(n.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            }
        };
        double bestCommand = 1e30, bestBare = 1e30;
        for (int round = 0; round < 2; ++round) {
            fill();
            bestBare = std::min(bestBare, seconds([&] { for (const std::string& n : names) ::DeleteFileA(n.c_str()); }, 1));
            fill();
            bestCommand = std::min(bestCommand, seconds([&] { kavcmd::DeleteFilesInFolder(folder); }, 1));
        }
        WIN32_FIND_DATAW left;
        const bool emptied = !kav::UniqueFind(::FindFirstFileW((folder + L"\\*.csb").c_str(), &left));
        ::RemoveDirectoryW(folder.c_str());
        char label[96];
        std::snprintf(label, sizeof label, "csbclean deleting %d files against a DeleteFileA loop", files);
        report(label, bestCommand / bestBare, 1.25);
        if (!emptied) {
            std::printf("  the deletion pass left files behind\n");
            ++g_missing;
        }
    }

    std::fflush(stdout);
    return g_missing == 0 ? 0 : 1;
}
