/* A client built with the Microsoft tool chain's conventions (clang in MSVC
 * mode, lld-link, kavlink.lib) and no C runtime: it binds to the stand-in
 * host's window given on its command line, makes a few requests and ends the
 * command.  The exit status says which of its own checks failed. */
typedef struct PointShape { double x, y; } PointShape;
typedef void* HWND;

__declspec(dllimport) void __stdcall InitVBCmdLib(HWND hostWindow, int cmdLine);
__declspec(dllimport) int __stdcall VokCommandGuide(const char* message);
__declspec(dllimport) int __stdcall VokSetEpsLength(double epsLength);
__declspec(dllimport) double __stdcall VokCalDist2P(const PointShape* point1, const PointShape* point2);
__declspec(dllimport) PointShape* __stdcall VokGetDBOrigin1(PointShape* origin);
__declspec(dllimport) int __stdcall VokExitCommand(void);
__declspec(dllimport) char* __stdcall GetCommandLineA(void);
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);

int _fltused;

/* The last number on the command line. */
static unsigned long lastNumber(const char* s) {
    unsigned long n = 0, last = 0;
    int in = 0;
    for (; *s; ++s) {
        if (*s >= '0' && *s <= '9') {
            n = (in ? n * 10 : 0) + (unsigned long)(*s - '0');
            in = 1;
        } else {
            if (in) last = n;
            in = 0;
        }
    }
    return in ? n : last;
}

void entry(void) {
    unsigned status = 0;
    PointShape a = {1.0, 2.0}, b = {4.0, 6.0}, origin = {0.0, 0.0};
    InitVBCmdLib((HWND)lastNumber(GetCommandLineA()), 7);
    VokCommandGuide("msvc client");
    VokSetEpsLength(2.5);
    if (VokCalDist2P(&a, &b) != 5.0) status |= 1;          /* the double result the host computed */
    if (VokGetDBOrigin1(&origin) != &origin) status |= 2;  /* the record result is the caller's record */
    VokExitCommand();
    ExitProcess(status);
}
