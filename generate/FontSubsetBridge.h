// The subsetting bridge: an embedded CPython that runs the studio's script
// module "myFont" (HarfBuzz's subsetter, fontTools as its fallback) to cut TrueType fonts.
#pragma once

#include <string>

#include "Glyphworks.h"
#include "FontTable.h"

typedef struct _object PyObject;

class CFontSubsetBridge {
public:
    // The one bridge of the process, started when the library is loaded.
    static CFontSubsetBridge& Instance();

    bool IsReady() const { return m_ready; }
    // The strings are UTF-8; a face index of -1 reaches the script as 0.
    void SubsetKeepList(const std::string& chars, const std::string& source, const std::string& output, int face);
    void SubsetText(const std::string& chars, const std::string& source, const std::string& output, int face);
    int SubsetFileSize(const std::string& output);
    static bool HasDevanagari(const std::u16string& text);
    // Cuts every row of the table into outDir; megabytes written.
    double SubsetFontTable(const TTFMapTable& table, const std::u16string& outDir);

    // The engine the last cut named ("harfbuzz", "fonttools"), "" for none.
    const std::string& LastEngine() const { return m_lastEngine; }
    // Where the imported module came from ("" when it was not imported).
    std::string ModuleFile() const { return m_moduleFile; }
    // The interpreter's module search path, one entry per element.
    std::string ModuleSearchPath() const;

    CFontSubsetBridge();
    // Another binding on the process's interpreter, to `module` imported
    // from `dir` (which leaves the module path again): for checking the
    // protocol with scripts other than the studio's.
    CFontSubsetBridge(const std::string& module, const std::string& dir);
    ~CFontSubsetBridge();
    CFontSubsetBridge(const CFontSubsetBridge&) = delete;
    CFontSubsetBridge& operator=(const CFontSubsetBridge&) = delete;

private:
    void Start();
    // Imports the module and binds its three functions; ready when all are callable.
    void Bind(const char* module);
    // Keeps what a cut raised or the engine it named, and drops the result.
    void TakeResult(PyObject* result);

    bool m_ready = false;
    bool m_started = false;
    void* m_mainThread = nullptr;  // the load thread's state while the GIL is released
    PyObject* m_extra = nullptr;
    PyObject* m_subset = nullptr;
    PyObject* m_subsetText = nullptr;
    PyObject* m_size = nullptr;
    std::string m_moduleFile;
    std::string m_lastError;   // what the last cut raised, "" when it went through
    std::string m_lastEngine;  // what the last cut named as its engine, "" for none
};
