// A DLL that the dependent probe imports; the tests keep it out of reach.
extern "C" __declspec(dllexport) int kavhostProbeDependency() { return 1; }
