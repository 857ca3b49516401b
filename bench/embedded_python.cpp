// Runs a Python script in the interpreter library the studio embeds
// (libpython from python3-embed), isolated as the subsetting bridge starts
// it, with the script's arguments in sys.argv:
//
//   bench_embedded_python SCRIPT [ARG...]
//
// The yardstick "fontTools in-process" of the benchmarks runs through it, so
// that it is measured on the same interpreter as the bridge; Debian's
// python3 program is built differently and runs the same code faster.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_embedded_python SCRIPT [ARG...]\n");
        return 2;
    }
    PyPreConfig preconfig;
    PyPreConfig_InitIsolatedConfig(&preconfig);
    preconfig.utf8_mode = 1;
    if (PyStatus_Exception(Py_PreInitialize(&preconfig))) return 1;
    PyConfig config;
    PyConfig_InitIsolatedConfig(&config);
    config.write_bytecode = 0;
    PyConfig_SetBytesString(&config, &config.home, TAMSEL_PYTHON_HOME);
    PyConfig_SetBytesArgv(&config, argc - 1, argv + 1);
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) return 1;
    FILE* script = std::fopen(argv[1], "r");
    if (!script) return 1;
    const int result = PyRun_SimpleFileEx(script, argv[1], 1);
    Py_Finalize();
    return result == 0 ? 0 : 1;
}
